// The ring's parameters: its buffer count, and the long-frame names that are
// refused since frames got their full height from the camera file.
#include "acq/restart.hpp"
#include "acq/ring_build.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"

namespace grabline {

Terr SetNumBuffers(SetCall &call) {
  const Tcpar *value = &call.first();
  if (value->type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value->par.l < 2 || value->par.l > 0x7FFFFFFF) return FG_ERR_PARAM_VALUE;
  InstanceRecord &inst = *call.inst;
  if (inst.cg.enabled != 0) {
    PrintError("The number of buffers can not be changed while continuous grabbing is enabled.");
    return FG_ERR_BOARD;
  }
  Bd board = inst.board->handle;
  if (SdkCheck(board, &inst, CiShutdown(board, 0)) != 0) {
    PrintError("Initialization error: CiShutdown() failed");
    return FG_ERR_BOARD;
  }
  Tproc_handle proc_id = call.proc_id;
  TFgInstance *fginst = call.fginst;
  if (value->par.l == inst.ring.count && inst.ring.incomplete == 0) {
    // The ring stays as it is; the board is re-armed so that it does not sit
    // shut down until a grab has timed out on it.
    return RestartAcquisition(fginst, kRestartRearm);
  }
  return HOST_CALL("ChangeNumBuffers(proc_id, fginst,(int)value->par.l,0)",
                   ChangeNumBuffers(proc_id, fginst, (int)value->par.l, 0));
}

Terr GetNumBuffers(GetCall &call) {
  AnswerInt(call, call.inst->ring.count);
  return FG_OK;
}

Terr SetLongFrames(SetCall &) {
  PrintError(
      "Board error: Long frame mode is no longer a valid mode.\nUpdate the YSize in the cam file "
      "to the number of lines wanted.\nThe cam file will support up to 31999 lines in TARVEL.");
  return FG_ERR_UNSUPPORTED;
}

}  // namespace grabline
