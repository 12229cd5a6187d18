// The camera port and the acquisition region: both change what the board
// delivers under a running instance.
#include "acq/acquisition_setup.hpp"
#include "acq/continuous.hpp"
#include "acq/event_threads.hpp"
#include "acq/restart.hpp"
#include "acq/ring_build.hpp"
#include "board/family.hpp"
#include "board/ring_memory.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
Terr SetPort(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  Bd board = inst.board->handle;
  InterruptContinuousWorker(call.fginst);
  if (inst.acquisition_pending != 0) {
    RestartAcquisition(call.fginst, kRestartAbort);
    RestartAcquisition(call.fginst, kRestartRearm);
    inst.acquisition_pending = 0;
  }
  const Tcpar &value = call.first();
  if (value.type == TPAR_INT && !CheckInt32Range(value.par.l)) return FG_ERR_PARAM_TYPE;
  uint32_t cameras = 0;
  CiBrdInquire(board, BF_INQ_NUM_CAMERAS, &cameras);
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l < 0 || value.par.l > cameras) return FG_ERR_PARAM_VALUE;
  const auto port = static_cast<uint32_t>(value.par.l);

  const bool select_register = IsRoadRunnerOrR64(inst);
  if (select_register) BFRegPoke(board, kProfile.reg.cam_select, 1);
  if (SdkCheck(board, &inst, CiBrdCamSel(board, port, 1)) != 0) return FG_ERR_PARAM_VALUE;
  if (select_register) BFRegPoke(board, kProfile.reg.cam_select, 0);
  if (CiConInt(board, inst.start_stop != 0 ? 5 : 4, 1) != 0) return FG_ERR_PARAM_VALUE;
  RestartAcquisition(call.fginst, kRestartRearm);
  RewindRing(inst.position);
  if (SdkCheck(board, &inst, CiBrdCamGetCur(board, &inst.camera)) != 0) return FG_ERR_PARAM_VALUE;
  call.fginst->port = static_cast<int32_t>(port);
  if (select_register && SdkCheck(board, &inst, CiConAqMode(board, PixelFormat(inst))) != 0) {
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

namespace {

struct Region {
  uint32_t column, row, width, height;
};

// Sets the board's window and builds the ring for its frame size.
Terr BuildRegion(SetCall &call, const Region &region) {
  InstanceRecord &inst = *call.inst;
  TFgInstance *fginst = call.fginst;
  Bd board = inst.board->handle;
  // The old ring goes before the board's window changes: its QTabs describe
  // frames of the old size.
  FreeAcquisitionSignal(inst);
  const Terr freed = FreeRingBuffers(call.proc_id, inst);
  if (freed != FG_OK) return freed;
  if (SdkCheck(board, &inst, CiAqROISet(board, region.column, region.row, region.width,
                                        region.height, 0)) != 0) {
    return FG_ERR_BOARD;
  }
  uint32_t bytes = 0, width = 0, height = 0;
  if (SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_FRAME_BYTES, &bytes)) != 0 ||
      SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_YSIZE, &height)) != 0 ||
      SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_XSIZE, &width)) != 0) {
    return FG_ERR_BOARD;
  }
  fginst->image_height = static_cast<int32_t>(height);
  fginst->image_width = static_cast<int32_t>(width);
  SizeRing(inst, *fginst, bytes);
  const uint64_t start = BFTick();
  while (FrameInProgress(board) && BFTickDelta(start, BFTick()) < 1000) os::Sleep(1);
  inst.acquisition_pending = 0;
  RewindRing(inst.position);
  return ChangeNumBuffers(call.proc_id, fginst, inst.ring.count, 1);
}

}  // namespace

Terr SetRegion(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  Bd board = inst.board->handle;
  // A value no window can have is refused before the board is stopped, so a
  // bad call leaves the acquisition as it was.
  const int64_t value = call.first().par.l;
  if (value < 0 || value > 0xFFFFFFFFll) return FG_ERR_BOARD;
  uint32_t old_width = 0, old_height = 0;
  CiBrdInquire(board, BF_INQ_XSIZE, &old_width);
  CiBrdInquire(board, BF_INQ_YSIZE, &old_height);
  if (SdkCheck(board, &inst, CiAqCommand(board, BF_AQ_ABORT, 1, 0, 0)) != 0) return FG_ERR_BOARD;
  CiShutdown(board, 0);
  if (inst.ring.buffer_size > 0xFFFFFFFFull) return FG_ERR_BOARD;
  if (inst.cg.enabled != 0 && inst.cg.state != CGStopped) {
    StopContinuousWorker(call.fginst);
  }

  Region region{inst.roi_column, inst.roi_row, 0, 0};
  CiBrdInquire(board, BF_INQ_XSIZE, &region.width);
  CiBrdInquire(board, BF_INQ_YSIZE, &region.height);
  const auto v = static_cast<uint32_t>(value);
  if (EqualsIgnoreCase(call.name, "image_width")) region.width = v;
  if (EqualsIgnoreCase(call.name, "image_height")) region.height = v;
  if (EqualsIgnoreCase(call.name, "start_column")) region.column = v;
  if (EqualsIgnoreCase(call.name, "start_row")) region.row = v;

  Terr rollback = FG_OK;
  while (BuildRegion(call, region) != FG_OK) {
    // The old window comes back once; if even that fails the board stays
    // stopped.
    if (rollback != FG_OK) return FG_ERR_BOARD;
    rollback = FG_ERR_PARAM_VALUE;
    region = Region{inst.roi_column, inst.roi_row, old_width, old_height};
  }
  if (RestartContinuousGrabbing(call.fginst) != FG_OK) return FG_ERR_PARAM_VALUE;
  if (rollback != FG_OK) return rollback;
  inst.roi_column = region.column;
  inst.roi_row = region.row;
  return FG_OK;
}

}  // namespace grabline
