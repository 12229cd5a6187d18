// Firmware selection and the SDK's version texts.
//
// The text answers live in buffers of the reading thread: a host that reads
// the same name from two threads at once gets two intact texts instead of
// one buffer written by both, and each text stays valid until that thread
// reads the same name again.
#include <cstdio>
#include <cstring>

#include "board/family.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
namespace {

constexpr size_t kTextSize = 1024;
constexpr uint32_t kDebugBuildBit = 1u << 31;

thread_local char t_sdk_revision[kTextSize];
thread_local char t_sdk_build[kTextSize];
thread_local char t_firmware_file_name[kTextSize];

}  // namespace

Terr GetSdkRevision(GetCall &call) {
  uint32_t major = 0, minor = 0;
  BFDVersion(&major, &minor);
  if ((major & kDebugBuildBit) != 0) {
    std::snprintf(t_sdk_revision, kTextSize, "%x.%03x Debug", major & ~kDebugBuildBit, minor);
  } else {
    std::snprintf(t_sdk_revision, kTextSize, "%x.%03x", major, minor);
  }
  AnswerText(call, t_sdk_revision);
  return FG_OK;
}

Terr GetSdkBuild(GetCall &call) {
  uint32_t build = 0;
  BFBuildNumber(&build);
  // Unsigned: a build number never reads as negative.
  std::snprintf(t_sdk_build, kTextSize, "%u", build);
  AnswerText(call, t_sdk_build);
  return FG_OK;
}

Terr GetFirmwareFileName(GetCall &call) {
  // Gn2 boards have one firmware image and no name for it to ask.
  if (IsGn2(*call.inst)) {
    AnswerText(call, "Standard");
    return FG_OK;
  }
  t_firmware_file_name[0] = '\0';
  BFGetCurrentFimwareName(call.inst->board->handle, "MUX", t_firmware_file_name, kTextSize);
  t_firmware_file_name[kTextSize - 1] = '\0';
  AnswerText(call, t_firmware_file_name);
  return FG_OK;
}

Terr GetFirmwareDirectory(GetCall &call) {
  AnswerText(call, "C:\\Windows\\System32\\Drivers\\BitFlowFlash");
  return FG_OK;
}

Terr SetSwitchSlaveFirmware(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  Bd board = call.inst->board->handle;
  if (BFIsNeonQ(board) == 0) return FG_ERR_PARAM_TYPE;

  BFFLASHREQUEST request{};
  // A cut file name could load another firmware than the one asked for.
  const size_t length = strnlen(value.par.s, sizeof request.file_name);
  if (length >= sizeof request.file_name) return FG_ERR_PARAM_VALUE;
  request.header = 0;
  request.kind = BF_FLASH_KIND_SWITCH;
  std::memcpy(request.file_name, value.par.s, length + 1);

  BFRegPoke(board, kProfile.reg.flash_switch, 1);
  if (BFFlashRequest(board, &request) != 0) {
    // The switch register stays requested: the board reports the failed change.
    PrintError("Error changing flash.\n");
    return FG_ERR_PARAM_TYPE;
  }
  BFRegPoke(board, kProfile.reg.flash_switch, 0);
  return FG_OK;
}

Terr SetFreezeFirmware(SetCall &call) {
  bool freeze = false;
  const Terr result = ReadFlag(call.first(), "enable", "disable", &freeze);
  if (result != FG_OK) return result;
  BFRegPoke(call.inst->board->handle, kProfile.reg.fw_freeze, freeze ? 1 : 0);
  return FG_OK;
}

}  // namespace grabline
