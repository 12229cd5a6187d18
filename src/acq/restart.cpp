#include "acq/restart.hpp"

#include "board/family.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

Terr RestartAcquisition(TFgInstance *fginst, int mode) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  if (mode == kRestartAbort) {
    CiConDMACommand(board, BF_DMA_ABORT, 1, 0, 0);
    CiConAqCommand(board, BF_CONAQ_ABORT, 0);
    return FG_OK;
  }
  if (mode != kRestartRearm) return FG_ERR_PARAM_VALUE;

  if (SdkCheck(board, &inst, CiShutdown(board, 0)) != 0) {
    PrintError("Initialization error: CiShutdown() failed");
    return FG_ERR_BOARD;
  }
  if (IsRoadRunnerOrR64(inst)) {
    if (SdkCheck(board, &inst, CiConDMACommand(board, BF_DMA_RESET, 1, 0, 0)) != 0) {
      PrintError("Initialization error: CiConDMACommand() failed");
      return FG_ERR_BOARD;
    }
    CiConCTabReset(board);
  }
  if (SdkCheck(board, &inst, CiPhysQTabChainEngage(board, inst.ring.qtab_ptr, 0)) != 0) {
    PrintError("Initialization error: CiPhysQTabChainEngage() failed");
    return FG_ERR_BOARD;
  }
  RewindReturned(inst.position);
  // A grab still waiting (an abort re-arms under it) must keep the cancel
  // that releases it; otherwise the queue starts empty.
  if (inst.grab_waiting == 0) CiSignalQueueClear(board, &inst.grab_signal);
  if (SdkCheck(board, &inst, CiConDMACommand(board, BF_DMA_START, 1, 0, 0)) != 0) {
    PrintError("Initialization error: CiConDMACommand() failed");
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

Terr RecordLinesToGo(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (!IsGn2(inst)) {
    inst.lines_to_go = static_cast<int32_t>(BFRegPeek(inst.board->handle, kProfile.reg.lines_to_go));
  }
  return FG_OK;
}

uint32_t ReadAcquisitionStatus(Bd board, uint32_t *status_a, uint32_t *status_b) {
  const uint32_t type = CiBrdType(board);
  if (type == CISYS_TYPE_RR || type == CISYS_TYPE_R64) {
    *status_a = BFRegPeek(board, kProfile.reg.acq_status_a);
    *status_b = BFRegPeek(board, kProfile.reg.acq_status_b);
    return 0;
  }
  if (type == CISYS_TYPE_RV && kProfile.status_for_raven) {
    *status_a = BFRegPeek(board, kProfile.reg.rv_status_a);
    *status_b = BFRegPeek(board, kProfile.reg.rv_status_b);
    return 0;
  }
  if (type == CISYS_TYPE_GN2 && kProfile.has_gn2) {
    *status_a = BFRegPeek(board, kProfile.reg.gn2_status_a) > 0 ? 3 : 0;
    *status_b = BFRegPeek(board, kProfile.reg.gn2_status_b) > 0 ? 3 : 0;
    return 0;
  }
  return BF_ERR_BAD_BRD_TYPE;
}

bool FrameInProgress(Bd board) {
  // Boards without status words read as idle, so no wait hangs on them.
  uint32_t a = 0, b = 0;
  if (ReadAcquisitionStatus(board, &a, &b) != 0) return false;
  return a != 0 || b != 0;
}

}  // namespace grabline
