// Grabbing by snaps: FGGrab, FGGrabStart and FGGrabAsync outside continuous
// grabbing, and the wait for the next buffer they share.
#include "acq/snap.hpp"

#include <cstdio>

#include "acq/continuous.hpp"
#include "acq/event_threads.hpp"
#include "acq/grab_lock.hpp"
#include "acq/image_assembly.hpp"
#include "acq/quick_switch.hpp"
#include "acq/restart.hpp"
#include "board/family.hpp"
#include "board/shared_board.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

struct Snap {
  TFgInstance *fginst;
  InstanceRecord &inst;
  Bd board;
  bool twice;  // two signals an event (Raven boards delivering fields)
};

void SoftwareTriggerIfArmed(const Snap &s) {
  if (s.inst.oneshot_mode != 0 && s.inst.software_trigger_on != 0) {
    CiConSwTrig(s.board, BF_TRIG_INPUT, BF_TRIG_PULSE);
  }
}

void ClearQueues(const Snap &s) {
  CiSignalQueueClear(s.board, &s.inst.grab_signal);
  CiSignalQueueClear(s.board, &s.inst.exposure_signal);
}

// Starts one snap; false when the board refuses.
bool StartSnap(const Snap &s) {
  if (SdkCheck(s.board, &s.inst, CiConAqCommand(s.board, BF_CONAQ_SNAP, 0)) != 0) return false;
  s.inst.acquisition_pending = 1;
  SoftwareTriggerIfArmed(s);
  return true;
}

bool Overflowed(const Snap &s) {
  if (IsGn2(s.inst)) return false;
  uint32_t overflowed = 0;
  return CiAqOverflowCheck(s.board, &overflowed) == 0 && overflowed != 0;
}

void ReportOverflow(int line, const char *format) {
  char text[1024];
  std::snprintf(text, sizeof text, format, line, kProfile.source_file);
  DebugText(text);
  PrintError(text);
}

void ResetAfterFailure(const Snap &s) {
  RecordLinesToGo(s.fginst);
  RestartAcquisition(s.fginst, kRestartAbort);
  RestartAcquisition(s.fginst, kRestartRearm);
}

// Not an SDK wait result: the wait was not entered.
constexpr uint32_t kWaitNotEntered = 0xFFFFFFFFu;

// One wait on the grab signal with the cancel mutex released.
uint32_t WaitSignal(const Snap &s) {
  // A refused unlock must not pass for a wait: the grab would return success
  // with the refusal unseen. It counts as a failed wait.
  if (UnlockCancelMutex(s.inst) != FG_OK) return kWaitNotEntered;
  s.inst.grab_waiting = 1;
  uint32_t result = CiSignalWait(s.board, &s.inst.grab_signal, s.inst.grab_timeout, nullptr);
  if (result == 0 && s.twice) {
    result = CiSignalWait(s.board, &s.inst.grab_signal, s.inst.grab_timeout, nullptr);
  }
  LockCancelMutex(s.inst);
  s.inst.grab_waiting = 0;
  return result;
}

struct WaitTexts {
  const char *resnap_failed;
  const char *wait_failed;
  bool clear_before_resnap;
};

enum class Waited { kFrame, kCancelled, kFailed };

// Waits for the snap's frame; a time-out may be followed by one more snap.
// On failure *code holds the result and the board is reset and re-armed.
Waited WaitForFrame(const Snap &s, const WaitTexts &texts, Terr *code) {
  uint32_t result = WaitSignal(s);
  if (result == BF_WAIT_CANCEL) return Waited::kCancelled;
  if (result == BF_WAIT_TIMEOUT && s.inst.resnap != 0) {
    RecordLinesToGo(s.fginst);
    RestartAcquisition(s.fginst, kRestartRearm);
    if (texts.clear_before_resnap) ClearQueues(s);
    if (SdkCheck(s.board, &s.inst, CiConAqCommand(s.board, BF_CONAQ_SNAP, 0)) != 0) {
      PrintError(texts.resnap_failed);
      *code = FG_ERR_GRAB;
      return Waited::kFailed;
    }
    result = WaitSignal(s);
    if (result == BF_WAIT_CANCEL) return Waited::kCancelled;
  }
  s.inst.acquisition_pending = 0;
  if (result == 0) return Waited::kFrame;
  if (Overflowed(s)) ReportOverflow(__LINE__, "FIFO overflow occurred at line %d in file %s\n");
  ResetAfterFailure(s);
  if (result == BF_WAIT_TIMEOUT) {
    *code = FG_ERR_TIMEOUT;
  } else {
    PrintError(texts.wait_failed);
    *code = FG_ERR_GRAB;
  }
  return Waited::kFailed;
}

int64_t AgeMs(const InstanceRecord &inst) { return os::NowMs() - inst.async_start_ms; }

// What a grab does with the acquisition it finds.
struct SnapPlan {
  enum class Step { kStart, kWait, kDeliver } step = Step::kStart;
  bool check_age = false;            // the pending frame may be too old once it has come
  bool deliver_after_start = false;  // a fresh snap is started, the frame at hand delivered
};

// Reads the acquisition left by the last grab: none, an asynchronous snap
// under way or finished, or a synchronous one abandoned. FG_OK or the
// grab's failure.
Terr PlanSnap(const Snap &s, SnapPlan *plan) {
  InstanceRecord &inst = s.inst;
  if (inst.acquisition_pending == 0) {
    if (inst.board->users > 1) return SetInstParam(s.fginst);
    return FG_OK;
  }
  if (s.fginst->async_grab == 0) {
    ResetAfterFailure(s);
    inst.acquisition_pending = 0;
    return FG_OK;
  }
  if (FrameInProgress(s.board)) {
    plan->step = SnapPlan::Step::kWait;
    plan->check_age = true;
    return FG_OK;
  }
  const int64_t age = AgeMs(inst);
  inst.acquisition_pending = 0;
  if (Overflowed(s)) {
    ReportOverflow(__LINE__, "FIFO overflow occurred at line %d in file %s/n");
    ResetAfterFailure(s);
    if (age <= inst.max_age) {
      PrintError("Async Grab. Max age reached.");
      return FG_ERR_GRAB;
    }
  } else if (age > inst.max_age) {
    // The finished frame is too old: its buffer is passed over so the fresh
    // snap's frame is the one delivered.
    StepReturned(inst.position, inst.ring.count);
    plan->deliver_after_start = true;
  } else {
    plan->step = SnapPlan::Step::kDeliver;
  }
  return FG_OK;
}

// Starts the snap the plan asks for and waits for the frame; a pending frame
// that came too late is passed over for a fresh one.
Waited TakeFrame(const Snap &s, const SnapPlan &plan, Terr *code) {
  using Step = SnapPlan::Step;
  Step step = plan.step;
  if (step == Step::kStart) {
    ClearQueues(s);
    if (!StartSnap(s)) {
      PrintError("Start a new grab failed.");
      *code = FG_ERR_GRAB;
      return Waited::kFailed;
    }
    step = plan.deliver_after_start ? Step::kDeliver : Step::kWait;
  }
  if (step == Step::kDeliver) return Waited::kFrame;

  const Waited waited = WaitForFrame(s, {"Signal timeout.", "BF Signal timeout.", false}, code);
  if (waited != Waited::kFrame || !plan.check_age || AgeMs(s.inst) <= s.inst.max_age) {
    return waited;
  }
  // The frame is older than the caller accepts: pass over its buffer and
  // take a fresh one.
  StepReturned(s.inst.position, s.inst.ring.count);
  if (!StartSnap(s)) {
    PrintError("CiConAqCommand failed I.");
    *code = FG_ERR_GRAB;
    return Waited::kFailed;
  }
  return WaitForFrame(s, {"CiConAqCommand failed II.", "BF Signal timeout II.", false}, code);
}

// After an asynchronous grab's frame, the next snap is started at once, so
// the following grab finds it under way.
Terr StartNextAsyncSnap(const Snap &s) {
  if (FrameInProgress(s.board)) {
    Terr code = FG_OK;
    switch (WaitForFrame(s, {"CiConAqCommand II.", "BF signal timeout III.", true}, &code)) {
      case Waited::kCancelled: return FG_OK;
      case Waited::kFailed: return code;
      case Waited::kFrame: break;
    }
  }
  if (s.inst.start_async_after_grab_async != 0) {
    ClearQueues(s);
    if (!StartSnap(s)) {
      PrintError("CiConAqCommand failed II.");
      return FG_ERR_GRAB;
    }
  }
  s.inst.async_start_ms = os::NowMs();
  return FG_OK;
}

}  // namespace

Terr WaitNextBufferSnap(TFgInstance *fginst, uint32_t *index) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  CiBrdAqTimeoutSet(board, inst.grab_timeout);
  uint32_t interlace = 0;
  CiBrdInquire(board, BF_INQ_INTERLACE, &interlace);
  const Snap s{fginst, inst, board, interlace == BF_INTERLACED && BFIsRv(board) != 0};

  if (ThreadOverflowPending(inst)) {
    ResetAfterFailure(s);
    AcknowledgeOverflow(inst);
  }
  SnapPlan plan;
  Terr code = PlanSnap(s, &plan);
  if (code != FG_OK) return code;
  switch (TakeFrame(s, plan, &code)) {
    case Waited::kCancelled:
      *index = inst.position.next_buffer_returned;
      return FG_OK;
    case Waited::kFailed:
      return code;
    case Waited::kFrame:
      break;
  }
  *index = inst.position.next_buffer_returned;
  StepReturned(inst.position, inst.ring.count);
  if (fginst->async_grab == 0) return FG_OK;
  return StartNextAsyncSnap(s);
}

Terr WaitNextBuffer(Tproc_handle proc_id, TFgInstance *fginst, uint32_t *index) {
  // A ring whose re-creation failed has missing buffers: nothing to grab into.
  if (CurrInst(fginst)->ring.incomplete != 0) return FG_ERR_BUFFER_ALLOC;
  if (CurrInst(fginst)->cg.enabled != 0) {
    return WaitNextBufferContinuous(proc_id, fginst, index);
  }
  return WaitNextBufferSnap(fginst, index);
}

Terr FGGrab(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image) {
  InstanceRecord *const found = CurrInst(fginst);
  if (found == nullptr || found->board == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *found;
  if (image == nullptr || num_image == nullptr) return FG_ERR_PARAM_VALUE;
  if (QSModeOn(inst)) return QSGrabOp(proc_id, fginst, image, num_image);
  Terr result = LockCancelMutex(inst);
  if (result != FG_OK) return result;
  uint32_t read_buffer = 0;
  result = WaitNextBuffer(proc_id, fginst, &read_buffer);
  if (result != FG_OK) {
    UnlockCancelMutex(inst);
    return result;
  }
  result = UnlockCancelMutex(inst);
  if (result != FG_OK) return result;
  return AssembleImages(proc_id, fginst, image, num_image, read_buffer);
}

Terr FGGrabAsync(Tproc_handle proc_id, TFgInstance *fginst, double max_age, Timage *image,
                 int32_t *num_image) {
  InstanceRecord *const found = CurrInst(fginst);
  if (found == nullptr || found->board == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *found;
  if (QSModeOn(inst)) {
    if (image == nullptr || num_image == nullptr) return FG_ERR_PARAM_VALUE;
    return QSGrabAsyncOp(proc_id, fginst, image, num_image);
  }
  inst.max_age = static_cast<int64_t>(max_age + 0.5);
  fginst->async_grab = 1;
  return HOST_CALL("FGGrab(proc_id, fginst, image, num_image)",
                   FGGrab(proc_id, fginst, image, num_image));
}

Terr FGGrabStart(Tproc_handle proc_id, TFgInstance *fginst, double max_age) {
  InstanceRecord *const found = CurrInst(fginst);
  if (found == nullptr || found->board == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *found;
  if (QSModeOn(inst)) return QSGrabStartOp(proc_id, fginst);
  Bd board = inst.board->handle;
  Terr result = LockCancelMutex(inst);
  if (result != FG_OK) return result;
  inst.max_age = static_cast<int64_t>(max_age + 0.5);
  if (inst.cg.enabled != 0) return UnlockCancelMutex(inst);

  const Snap s{fginst, inst, board, false};
  if (inst.acquisition_pending != 0) {
    ResetAfterFailure(s);
  } else if (inst.board->users > 1) {
    result = HOST_CALL("SetInstParam(fginst)", SetInstParam(fginst));
    if (result != FG_OK) {
      UnlockCancelMutex(inst);
      return result;
    }
  }
  ClearQueues(s);
  if (SdkCheck(board, &inst, CiAqCommand(board, BF_AQ_SNAP, 2, 0, 0)) != 0) {
    PrintError("Start asynchronous grab.");
    UnlockCancelMutex(inst);
    return FG_ERR_GRAB;
  }
  if (inst.oneshot_mode != 0 && inst.software_trigger_on != 0) {
    if (!IsGn2(inst) && BFRegPeek(board, kProfile.reg.sw_trig_armed) != 0) {
      // Let the trigger circuit settle before pulsing it.
      const uint64_t start = BFTick();
      while (BFRegPeek(board, kProfile.reg.acq_busy) != 0 &&
             BFTickDelta(start, BFTick()) < inst.grab_timeout) {
        os::Sleep(0);
      }
    }
    CiConSwTrig(board, BF_TRIG_INPUT, BF_TRIG_PULSE);
  }
  inst.async_start_ms = os::NowMs();
  fginst->async_grab = 1;
  inst.acquisition_pending = 1;
  return UnlockCancelMutex(inst);
}

Terr AbortGrab(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  Terr result = LockCancelMutex(inst);
  if (result != FG_OK) return result;
  if (QSRingsActive(inst)) {
    // The board runs the region rings: a waiting region grab must end now,
    // not at its time-out, and the normal ring is not armed to restart.
    QSCancelWait(inst);
  } else if (inst.cg.enabled != 0) {
    ReleaseContinuousWait(fginst);
  } else {
    RestartAcquisition(fginst, kRestartAbort);
    CiSignalCancel(inst.board->handle, &inst.grab_signal);
    os::Sleep(10);
    fginst->async_grab = 0;
    inst.acquisition_pending = 0;
    RestartAcquisition(fginst, kRestartRearm);
  }
  return UnlockCancelMutex(inst);
}

}  // namespace grabline
