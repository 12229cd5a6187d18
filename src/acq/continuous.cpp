#include "acq/continuous.hpp"

#include "acq/event_threads.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

void StopContinuousWorker(TFgInstance *fginst) {
  InstanceRecord &inst = *CurrInst(fginst);
  if (inst.continuous_grabbing != 0 && inst.cg_signal_armed != 0) inst.cg_signal_armed = 0;
  if (inst.cg_thread == nullptr) return;
  // The standard build's worker always waits on the fixed-length signal.
  const bool start_stop = inst.start_stop != 0 && kProfile.sdk != bfsdk::SdkVersion::kStandard;
  StopThread(inst.board->handle, start_stop ? &inst.cg_ss_signal : &inst.cg_signal,
             &inst.cg_thread);
}

Terr WaitNextBufferContinuous(Tproc_handle, TFgInstance *fginst, uint32_t *) {
  InstanceRecord &inst = *CurrInst(fginst);
  const uint32_t state = inst.cg_state;
  if (state != CGRunning && state != CGOBMAbort) {
    PrintError("CGRunning or CGOBMAbort.");
    return FG_ERR_GRAB;
  }
  // The worker that feeds this path comes with continuous grabbing itself.
  PrintError("!CGRunning and !CGOBMAbort.");
  return FG_ERR_GRAB;
}

void ReleaseContinuousWait(TFgInstance *fginst) {
  InstanceRecord &inst = *CurrInst(fginst);
  if (inst.cg_semaphore != nullptr) os::ReleaseSemaphore(inst.cg_semaphore, 1);
}

}  // namespace grabline
