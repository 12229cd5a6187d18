// FGClose: an open instance ends and its record is free again.
#include "acq/continuous.hpp"
#include "acq/event_threads.hpp"
#include "acq/quick_switch.hpp"
#include "acq/restart.hpp"
#include "acq/ring_build.hpp"
#include "board/process_objects.hpp"
#include "board/ring_memory.hpp"
#include "board/shared_board.hpp"
#include "io/serial.hpp"
#include "params/stitch_params.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {

Terr FGClose(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord *inst_ptr = CurrInst(fginst);
  if (inst_ptr == nullptr || inst_ptr->board == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *inst_ptr;
  BoardInfo &board = *inst.board;

  // The worker and the event threads go first: they use what is freed below.
  StopContinuousWorker(fginst);
  StopEventThreads(fginst);
  // Nothing else releases the section view: a closed instance must not keep it.
  ReleaseStitchShare(inst);

  if (inst.acquisition_pending != 0) {
    RestartAcquisition(fginst, kRestartAbort);
    inst.acquisition_pending = 0;
  }
  if (inst.volatile_mode != 0 && ReturnOwnRing(proc_id, fginst) != FG_OK) {
    PrintError("Error in FGClose, during set the continuous mode to disable");
  }

  Terr result = DestroyRing(proc_id, inst);
  if (result != FG_OK) return result;
  LeaveBoardRing(inst);
  result = QSFree(proc_id, fginst);
  if (result != FG_OK) return result;
  CloseSerialPort(inst);

  if (board.users > 1) {
    --board.users;
    if (board.users == 1) {
      for (uint32_t i = 0; i < kProfile.max_instances; ++i) {
        if (g_instances[i].board == &board && i != inst.instance_index) {
          result = HOST_CALL("SetInstParam(fginst->fgclass->instance[i])",
                             SetInstParam(fginst->fgclass->instance[i]));
          if (result != FG_OK) return result;
          break;
        }
      }
    }
  } else {
    // A ring the board still holds (its instances took rings of their own)
    // goes with the board.
    result = FreeBoardRing(proc_id, inst);
    if (result != FG_OK) return result;
    CiBrdClose(board.handle);
    result = HOST_FREE(proc_id, inst.board, "inst.board");
    if (result != FG_OK) return result;
  }

  inst.board = nullptr;
  if (g_open_instances > 0) --g_open_instances;
  if (g_open_instances < 1) DestroyProcessObjects();

  if (inst.cancel_mutex != nullptr) {
    result = HOST_CALL("TpThreadMutexDestroy(&(currInst->cancel_mutex))",
                       TpThreadMutexDestroy(&inst.cancel_mutex));
    if (result != FG_OK) return result;
    inst.cancel_mutex = nullptr;
  }
  return FG_OK;
}

}  // namespace grabline
