#include "acq/event_threads.hpp"

#include "acq/restart.hpp"
#include "board/family.hpp"
#include "board/process_objects.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

// A frame of two fields raises each event twice; the second result counts.
uint32_t WaitEvent(Bd board, CiSIGNAL *signal, bool twice) {
  uint32_t result = CiSignalWait(board, signal, BF_WAIT_FOREVER, nullptr);
  if (result == 0 && twice) result = CiSignalWait(board, signal, BF_WAIT_FOREVER, nullptr);
  return result;
}

void CallBack(TFgInstance *fginst, InstanceRecord &inst, const std::atomic<Callback> &function,
              const std::atomic<void *> &context) {
  inst.events.last_frame_time_ms = os::NowMs();
  if constexpr (kProfile.has_callbacks) {
    const Callback callback = function.load();
    if (callback != nullptr) {
      ++inst.events.callback_counter;
      callback(&fginst->fgclass->instance[inst.instance_index], nullptr, context.load());
    }
  }
}

struct WaitTexts {
  const char *cancelled;
  const char *timed_out;
  const char *failed;
  const char *exited;
};

void ReportEnd(const InstanceRecord &inst, uint32_t result, const WaitTexts &texts) {
  DebugOutput(inst, result == BF_WAIT_CANCEL    ? texts.cancelled
                    : result == BF_WAIT_TIMEOUT ? texts.timed_out
                                                : texts.failed);
}

uint32_t FrameDoneThread(void *arg) {
  auto *fginst = static_cast<TFgInstance *>(arg);
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  os::SetEvent(g_frame_done_ready);
  inst.events.frame_done.running = 1;
  const bool twice = TwoFieldFrames(inst, board);
  static constexpr WaitTexts kTexts{"Frame done signal cancelled\n", "Frame done thread timed out\n",
                                    "Error waiting for frame done signal\n",
                                    "Exited Frame Done thread\n"};
  while (inst.events.frame_done.running != 0) {
    const uint32_t result = WaitEvent(board, &inst.events.frame_done.signal, twice);
    if (result != 0) {
      ReportEnd(inst, result, kTexts);
      inst.events.frame_done.running = 0;
    }
    // Every pass counts, the last one too.
    CallBack(fginst, inst, inst.events.transfer_end, inst.events.transfer_end_context);
  }
  DebugOutput(inst, kTexts.exited);
  return 0;
}

uint32_t ExposureDoneThread(void *arg) {
  auto *fginst = static_cast<TFgInstance *>(arg);
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  os::SetEvent(g_exposure_done_ready);
  inst.events.exposure_done.running = 1;
  const bool twice = TwoFieldFrames(inst, board);
  static constexpr WaitTexts kTexts{
      "Exposure done signal cancelled\n", "Exposure done thread timed out\n",
      "Error waiting for exposure done signal\n", "Exited Exposure Done thread\n"};
  while (inst.events.exposure_done.running != 0) {
    const uint32_t result = WaitEvent(board, &inst.events.exposure_done.signal, twice);
    if (result != 0) {
      ReportEnd(inst, result, kTexts);
      inst.events.exposure_done.running = 0;
    }
    uint32_t a = 0, b = 0;
    ReadAcquisitionStatus(board, &a, &b);
    if (a == 2 || a == 3 || b == 2 || b == 3) {
      CallBack(fginst, inst, inst.events.exposure_end, inst.events.exposure_end_context);
    }
  }
  DebugOutput(inst, kTexts.exited);
  return 0;
}

struct EventThreadArgs {
  TFgInstance *fginst;
  EventKind kind;
  os::Event *started;
};

EventWatch &WatchOf(InstanceRecord &inst, EventKind kind) {
  return kind == EventKind::kOverflow ? inst.events.overflow : inst.events.hw_exception;
}

uint32_t SignalTypeOf(EventKind kind) {
  return kind == EventKind::kOverflow ? BF_SIG_OVERFLOW : BF_SIG_HW_EXCEPTION;
}

uint32_t OverflowThread(void *arg) {
  const EventThreadArgs args = *static_cast<EventThreadArgs *>(arg);
  InstanceRecord &inst = Inst(args.fginst);
  EventWatch &watch = WatchOf(inst, args.kind);
  Bd board = inst.board->handle;
  watch.running = 1;
  os::SetEvent(args.started);
  while (CiSignalWait(board, &watch.signal, BF_WAIT_FOREVER, nullptr) != BF_WAIT_CANCEL) {
    ++watch.count;
    inst.events.overflow_pending = 1;
    if (inst.cg.enabled != 0) {
      // The worker keeps waiting; the board is re-armed under it.
      RecordLinesToGo(args.fginst);
      RestartAcquisition(args.fginst, kRestartRearm);
      CiSignalQueueClear(board, &watch.signal);
      CiConAqCommand(board, BF_CONAQ_GRAB, 0);
      inst.events.overflow_pending = 0;
    }
  }
  watch.running = 0;
  return 0;
}

}  // namespace

bool ThreadOverflowPending(const InstanceRecord &inst) {
  const EventThreadState &events = inst.events;
  return (events.overflow.running != 0 || events.hw_exception.running != 0) &&
         events.overflow_pending != 0;
}

void AcknowledgeOverflow(InstanceRecord &inst) { inst.events.overflow_pending = 0; }

void StopThread(Bd board, CiSIGNAL *signal, os::Thread **thread) {
  if (*thread == nullptr) return;
  AwaitThread(board, signal, thread, CiSignalCancel(board, signal) == 0);
}

void AwaitThread(Bd board, CiSIGNAL *signal, os::Thread **thread, bool cancelled) {
  // A cancel the SDK refused never wakes the thread: repeat it while polling,
  // or close would wait for ever. One accepted cancel also ends the next wait.
  uint32_t code = 0;
  while (os::GetExitCodeThread(*thread, &code) && code == os::kStillActive) {
    if (!cancelled) cancelled = CiSignalCancel(board, signal) == 0;
    os::Sleep(10);
  }
  os::CloseThread(*thread);
  *thread = nullptr;
}

Terr StartEventThreads(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  const uint32_t exposure_type = IsGn2(inst) ? BF_SIG_GN2_EXPOSURE : BF_SIG_EXPOSURE;

  if (SdkCheck(board, &inst,
               CiSignalCreate(board, inst.start_stop != 0 ? BF_SIG_EXPOSURE : BF_SIG_FRAME_DONE,
                              &inst.events.frame_done.signal)) != 0) {
    return FG_ERR_BOARD;
  }
  inst.events.frame_done.thread = os::CreateThread(FrameDoneThread, fginst);
  if (inst.events.frame_done.thread == nullptr) return FG_ERR_BOARD;
  os::WaitEvent(g_frame_done_ready, os::kInfinite);
  os::SetThreadPriority(inst.events.frame_done.thread, os::kPriorityTimeCritical);

  if (SdkCheck(board, &inst,
               CiSignalCreate(board, exposure_type, &inst.events.exposure_done.signal)) != 0) {
    return FG_ERR_BOARD;
  }
  inst.events.exposure_done.thread = os::CreateThread(ExposureDoneThread, fginst);
  if (inst.events.exposure_done.thread == nullptr) return FG_ERR_BOARD;
  os::WaitEvent(g_exposure_done_ready, os::kInfinite);
  os::SetThreadPriority(inst.events.exposure_done.thread, os::kPriorityTimeCritical);

  if (SdkCheck(board, &inst, CiSignalCreate(board, BF_SIG_FRAME_DONE, &inst.grab_signal)) != 0) {
    return FG_ERR_BOARD;
  }
  os::Sleep(100);
  if (SdkCheck(board, &inst, CiSignalCreate(board, exposure_type, &inst.exposure_signal)) != 0) {
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

void StopEventThreads(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  StopEventThread(fginst, EventKind::kOverflow);
  StopEventThread(fginst, EventKind::kHardwareException);
  const auto free_signals = [board](std::initializer_list<CiSIGNAL *> signals) {
    for (CiSIGNAL *signal : signals) {
      if (signal->impl != nullptr) CiSignalFree(board, signal);
      *signal = CiSIGNAL{};
    }
  };
  // The frame-done thread's signals are gone before the exposure-done thread
  // is woken: nothing it does on its way out can still raise them.
  if (inst.events.frame_done.thread != nullptr) {
    const bool cancelled = CiSignalCancel(board, &inst.events.frame_done.signal) == 0;
    CiSignalCancel(board, &inst.grab_signal);
    CiSignalCancel(board, &inst.exposure_signal);
    AwaitThread(board, &inst.events.frame_done.signal, &inst.events.frame_done.thread, cancelled);
  }
  free_signals({&inst.events.frame_done.signal, &inst.grab_signal, &inst.exposure_signal});
  StopThread(board, &inst.events.exposure_done.signal, &inst.events.exposure_done.thread);
  free_signals({&inst.events.exposure_done.signal});
}

Terr StartEventThread(TFgInstance *fginst, EventKind kind) {
  InstanceRecord &inst = Inst(fginst);
  EventWatch &watch = WatchOf(inst, kind);
  if (watch.running != 0 || watch.thread != nullptr) return FG_OK;
  Bd board = inst.board->handle;
  os::Event *started = os::CreateEvent(false);
  if (started == nullptr) return FG_ERR_PARAM_VALUE;
  if (CiSignalCreate(board, SignalTypeOf(kind), &watch.signal) != 0) {
    os::CloseEvent(started);
    return FG_ERR_PARAM_VALUE;
  }
  EventThreadArgs args{fginst, kind, started};
  watch.thread = os::CreateThread(OverflowThread, &args);
  if (watch.thread == nullptr) {
    CiSignalFree(board, &watch.signal);
    watch.signal = CiSIGNAL{};
    os::CloseEvent(started);
    return FG_ERR_PARAM_VALUE;
  }
  os::SetThreadPriority(watch.thread, os::kPriorityNormal);
  // The thread has copied its arguments once it has set the event.
  os::WaitEvent(started, os::kInfinite);
  os::CloseEvent(started);
  return FG_OK;
}

Terr StopEventThread(TFgInstance *fginst, EventKind kind) {
  InstanceRecord &inst = Inst(fginst);
  EventWatch &watch = WatchOf(inst, kind);
  if (watch.thread == nullptr) return FG_OK;
  Bd board = inst.board->handle;
  StopThread(board, &watch.signal, &watch.thread);
  CiSignalFree(board, &watch.signal);
  watch.signal = CiSIGNAL{};
  return FG_OK;
}

}  // namespace grabline
