// Parameters that belong to no feature of their own.
#include <string_view>

#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {

Terr SetShowInternalErrors(SetCall &call) {
  return StoreFlag(call.first(), "true", "false", call.inst->show_error_dlg);
}

Terr GetShowInternalErrors(GetCall &call) {
  AnswerFlag(call, call.inst->show_error_dlg != 0, "true", "false");
  return FG_OK;
}

Terr SetDebugOutput(SetCall &call) {
  return StoreFlag(call.first(), "true", "false", call.inst->debug_output);
}

namespace {
Terr NoLongerSupported() {
  PrintError("The parameter 'num_simultaneous_cameras' is no longer supported.");
  return FG_ERR_UNSUPPORTED;
}
}  // namespace

Terr SetNumSimultaneousCameras(SetCall &) { return NoLongerSupported(); }
Terr GetNumSimultaneousCameras(GetCall &) { return NoLongerSupported(); }

Terr GetRevision(GetCall &call) {
  // One buffer a thread: two threads reading at once must not write the
  // same bytes; the text stays valid until this thread reads it again.
  thread_local char revision[1024];
  BFsprintf(revision, sizeof revision, "%s (%s)", kProfile.revision, kProfile.revision_date);
  AnswerText(call, revision);
  return FG_OK;
}

Terr GetCameraConnected(GetCall &call) {
  Bd board = call.inst->board->handle;
  bool connected = false;
  if (BFIsAlta(board) != 0) {
    connected = BFRegPeek(board, kProfile.reg.alta_connected) == 1;
  } else if (kProfile.cxp_link_status && BFIsCXP(board) != 0) {
    // Frame grabbers beyond the fourth have no link register: not connected.
    const uint32_t vfg = BFGetVFGNum(board);
    connected = vfg < 4 && BFRegPeek(board, kProfile.reg.cxp_link[vfg]) != 0;
  } else {
    // A delivering camera keeps changing the sampled register.
    const uint32_t first = BFRegPeek(board, kProfile.reg.cam_sampled);
    const uint64_t start = BFTick();
    while (!connected && BFTickDelta(start, BFTick()) < 1000) {
      connected = BFRegPeek(board, kProfile.reg.cam_sampled) != first;
      if (!connected) os::Sleep(1);
    }
  }
  AnswerFlag(call, connected, "true", "false");
  return FG_OK;
}

Terr GetDescription(GetCall &call) {
  struct Text {
    const char *name;
    const char *text;
  };
  static constexpr Text kTexts[] = {
      {"grab_timeout_description",
       "Specify the desired timeout for aborting a pending grab (in milliseconds)"},
      {"image_height_description",
       "Change the current image height of the grabbed image (free run cameras only)"},
      {"image_width_description",
       "Change the current image width of the grabbed image (free run cameras only)"},
      {"lut_description", "Sets the current state of the look up table."},
      {"resnap_description",
       "Specify whether to reset the DMA engine and to try a second snap in case of an overflow"},
      {"serial_write_delay_description", "Specifiy the timeout for the serial write operations."},
      {"trigger_timeout_description",
       "Specify the desired timeout for aborting a grab when waiting for an external trigger"},
      {"volatile_description",
       "In volatile mode the two frame grabber interface buffers are used directly to store the "
       "grabbed images"},
  };
  for (const Text &t : kTexts) {
    if (EqualsIgnoreCase(call.name, t.name)) {
      AnswerText(call, t.text);
      return FG_OK;
    }
  }
  return FG_ERR_UNSUPPORTED;
}

}  // namespace grabline
