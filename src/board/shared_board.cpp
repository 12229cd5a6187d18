#include "board/shared_board.hpp"

#include <cstdio>
#include <cstring>

#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

constexpr uint32_t kTriggerInput = 1;
constexpr uint32_t kConnect = 19;
constexpr uint32_t kDisconnect = 20;
constexpr uint32_t kModeOneShot = 2;
constexpr uint32_t kModeOneShotSelfTimed = 6;

}  // namespace

Terr SetInstParam(TFgInstance *fginst) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  BoardInfo &board = *inst->board;
  if (board.users <= 1) return FG_OK;
  Bd handle = board.handle;

  if (std::strncmp(board.camera_file, inst->camera_file, sizeof board.camera_file) != 0) {
    if (SdkCheck(handle, inst, CiBrdCamSetCur(handle, inst->camera, 1)) != 0) return FG_ERR_BOARD;
    std::snprintf(board.camera_file, sizeof board.camera_file, "%s", inst->camera_file);
  }

  uint32_t mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  if (SdkCheck(handle, inst, CiConVTrigModeGet(handle, &mode, &trig_a, &trig_b, &trig_c)) != 0) {
    return FG_ERR_BOARD;
  }
  if (fginst->external_trigger == 0) {
    if (SdkCheck(handle, inst, CiConExTrigConnect(handle, kTriggerInput, kDisconnect)) != 0) {
      return FG_ERR_BOARD;
    }
  } else {
    if (SdkCheck(handle, inst, CiConExTrigConnect(handle, kTriggerInput, kConnect)) != 0) {
      return FG_ERR_BOARD;
    }
    // One-shot camera files keep their own mode; all others are switched to
    // triggered acquisition.
    if (mode != kModeOneShot && mode != kModeOneShotSelfTimed &&
        SdkCheck(handle, inst, CiConVTrigModeSet(handle, 3, 11, 13, 13)) != 0) {
      return FG_ERR_BOARD;
    }
  }
  if (mode == kModeOneShot) inst->oneshot_mode = 1;
  return FG_OK;
}

}  // namespace grabline
