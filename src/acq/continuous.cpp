// Continuous grabbing: a worker thread follows the board frame by frame,
// marks each filled buffer and releases the grab's semaphore once a frame.
#include "acq/continuous.hpp"

#include "acq/event_threads.hpp"
#include "acq/grab_lock.hpp"
#include "acq/restart.hpp"
#include "board/family.hpp"
#include "board/process_objects.hpp"
#include "board/ring_memory.hpp"
#include "board/timestamp_words.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

void Report(const InstanceRecord &inst, const char *text) {
  PrintError(text);
  char line[256];
  std::snprintf(line, sizeof line, "%s\n", text);
  DebugOutput(inst, line);
}

void CountPending(InstanceRecord &inst, int delta) {
  os::LockMutex(g_cg_list_mutex, os::kInfinite);
  inst.cg.frames_pending += static_cast<uint32_t>(delta);
  os::UnlockMutex(g_cg_list_mutex);
}

// Start/stop cameras start on the falling trigger input; waits for it.
void AwaitStartStopTrigger(InstanceRecord &inst, Bd board, uint32_t trig_c) {
  inst.cg.startup_state = 1;
  const uint32_t asserted = trig_c == 13 ? kProfile.trig_asserted_a : kProfile.trig_asserted_b;
  const uint64_t start = BFTick();
  uint32_t state = 0;
  CiConHwTrigStat(board, 1, &state);
  while (state == asserted && inst.cg.startup_state == 1 &&
         BFTickDelta(start, BFTick()) < inst.cg.timeout) {
    os::Sleep(0);
    CiConHwTrigStat(board, 1, &state);
  }
  if (state == asserted || inst.cg.startup_state != 1) inst.cg.state = CGFailed;
}

struct WaitResult {
  uint32_t result;
  uint32_t lines;
  uint64_t stamp;
  uint32_t encoder;  // the encoder count when the frame ended
};

WaitResult WaitFrame(InstanceRecord &inst, Bd board, CiSIGNAL *signal, bool twice) {
  WaitResult w{0, 0, 0, 0};
  for (int pass = 0; pass < (twice ? 2 : 1); ++pass) {
    if constexpr (kProfile.has_software_timestamps) {
      CiSIGNAL_INFO info{};
      w.result = CiSignalWaitEx(board, signal, inst.cg.timeout, nullptr, &info);
      w.lines = info.line_count;
      w.stamp = info.time_stamp;
    } else {
      w.result = CiSignalWait(board, signal, inst.cg.timeout, nullptr);
    }
    if (w.result != 0) break;
  }
  return w;
}

// The start of a run: every buffer free, every count from 0, the queues
// empty, a start/stop camera's trigger seen; then the board grabs. False
// when the run ends before it began.
bool BeginRun(InstanceRecord &inst, Bd board, uint32_t trig_c) {
  for (uint32_t i = 0; i < inst.ring.count; ++i) inst.ring.state[i] = BufFree;
  ClearRingPosition(inst.position);
  os::LockMutex(g_cg_list_mutex, os::kInfinite);
  inst.cg.frames_pending = 0;
  os::UnlockMutex(g_cg_list_mutex);

  if (inst.start_stop == 0) {
    CiSignalQueueClear(board, &inst.ring.signal);
    CiSignalQueueClear(board, &inst.exposure_signal);
  } else {
    AwaitStartStopTrigger(inst, board, trig_c);
    if (CiSignalQueueClear(board, &inst.ring.start_stop_signal) != 0 ||
        CiSignalQueueClear(board, &inst.exposure_signal) != 0) {
      inst.cg.state = CGStopped;
      PrintError("Error starting up CG thread");
    }
    inst.cg.startup_state = 0;
  }
  if (inst.cg.state != CGRunning) {
    inst.cg.state = CGStopped;
    DebugOutput(inst, "CG thread aborted during startup, exiting thread\n");
    return false;
  }

  if (kProfile.has_gn2 && IsGn2(inst)) BFRegPoke(board, kProfile.reg.gn2_acq_enable, 65535);
  if (CiConAqCommand(board, BF_CONAQ_GRAB, 0) != 0) {
    DebugOutput(inst, "Failed in Aq.\n");
    inst.cg.state = CGStopped;  // the run ends at once, through Exit
  } else if (inst.start_stop != 0) {
    CiChainSIPEnable(board, inst.ring.qtab_ptr);
  }
  return true;
}

// Waits for the next frame. A cancel, a time-out or a failed wait ends the
// run: the state leaves CGRunning.
WaitResult AwaitFrame(InstanceRecord &inst, Bd board, CiSIGNAL *signal, bool twice) {
  WaitResult w = WaitFrame(inst, board, signal, twice);
  if (w.result == 0 && !twice && IsRoadRunner(inst) && inst.start_stop != 0 &&
      BFRegPeek(board, kProfile.reg.acq_status_a) == 0 && inst.cg.state != CGStopped) {
    w = WaitFrame(inst, board, signal, false);
  }
  w.encoder = BFRegPeek(board, kProfile.reg.encoder_count);
  if (inst.debug_output != 0) {
    const uint32_t acquired = inst.position.next_buffer_acquired_abs;
    const uint32_t returned = inst.position.next_buffer_returned_abs;
    DebugTextf("Capt: %08d, cur abs %08d, next abs %08d, free %08d\n",
               static_cast<int>(inst.position.fill_index.load()), static_cast<int>(returned),
               static_cast<int>(acquired), static_cast<int>(inst.ring.count - acquired + returned));
  }
  if (w.result == BF_WAIT_CANCEL) {
    DebugOutput(inst, "Signal cancelled\n");
    inst.cg.state = CGCancelled;
  } else if (w.result == BF_WAIT_TIMEOUT) {
    Report(inst, "Worker thread timed out waiting for acquisition to completed");
    inst.cg.state = CGFailed;
  } else if (w.result != 0) {
    Report(inst, "Error waiting for next signal");
    inst.cg.state = CGFailed;
  }
  return w;
}

// Room for the frame just filled. Under 'abort' a ring whose buffer a stop
// margin ahead is still unreturned ends the run (false); under 'ignore' the
// oldest frame is dropped so the newest can be kept.
bool MakeRoom(InstanceRecord &inst, uint32_t n) {
  const uint32_t c = inst.position.next_buffer_acquired;
  const uint32_t margin = inst.cg.stop_margin;
  const uint32_t method = inst.cg.overwrite_method;
  if (inst.ring.state[(c + margin - 1) % n] == BufAcquired && method == kOverwriteAbort &&
      inst.print_grab == 0) {
    inst.ring.state[(c + 1) % n] = BufOverwritten;
    Report(inst, "Acquiring thread caught up with processing thread, aborting");
    inst.cg.state = CGOBMAbort;
    return false;
  }
  if (inst.ring.state[c] == BufAcquired && method == kOverwriteIgnore) {
    // The grab may hand a buffer back at the same moment: one step on from
    // whatever index it left.
    StepReturned(inst.position, n);
    ++inst.position.num_buffers_overwritten;
  }
  return true;
}

// Books the frame into its buffer and lets one grab have it.
void BookFrame(InstanceRecord &inst, Bd board, const WaitResult &w, uint32_t n) {
  const uint32_t fill = inst.position.fill_index;
  if (inst.start_stop != 0) {
    if (kProfile.has_software_timestamps && IsGn2(inst)) {
      inst.ring.ss_lines[fill] = w.lines;
    } else {
      uint32_t last = 0;
      CiAqLastLine(board, &last, 0);
      inst.ring.ss_lines[fill] = last - 1;
    }
  }
  inst.ring.encoder_count[fill] = w.encoder;
  inst.ring.state[fill] = BufAcquired;
  StepAcquired(inst.position, n);
  CountPending(inst, +1);
  os::ReleaseSemaphore(inst.cg.semaphore, 1);
}

void Exit(InstanceRecord &inst, Bd board) {
  if (inst.start_stop != 0) CiChainSIPDisable(board, inst.ring.qtab_ptr);
  CiAqCommand(board, BF_AQ_STOP, 2, 0, 0);
  inst.cg.state = CGStopped;
  if (kProfile.has_gn2 && IsGn2(inst)) BFRegPoke(board, kProfile.reg.gn2_acq_enable, 1);
  DebugOutput(inst, "Exited CG thread\n");
}

uint32_t ContinuousWorker(void *arg) {
  auto *fginst = static_cast<TFgInstance *>(arg);
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  CiSIGNAL *signal = AcquisitionSignal(inst);
  inst.cg.state = CGRunning;
  DebugOutput(inst, "Starting CG thread\n");

  const bool twice = TwoFieldFrames(inst, board);
  uint32_t height = 0, rate = 0, mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  CiBrdInquire(board, BF_INQ_YSIZE, &height);
  CiBrdInquire(board, BF_INQ_FRAME_RATE, &rate);
  CiConVTrigModeGet(board, &mode, &trig_a, &trig_b, &trig_c);
  if (!BeginRun(inst, board, trig_c)) return 0;

  const uint32_t n = inst.ring.count;
  while (inst.cg.state == CGRunning) {
    const WaitResult w = AwaitFrame(inst, board, signal, twice);
    if (inst.software_timestamp != 0 && inst.cg.state == CGRunning &&
        WriteSoftwareTimestamps(inst, w.stamp) != FG_OK) {
      // Acquisition, semaphore and state stay as they are.
      PrintError("Error writing software timestamps");
      return 0;
    }
    if (inst.cg.state != CGRunning || !MakeRoom(inst, n)) break;
    BookFrame(inst, board, w, n);
  }
  Exit(inst, board);
  return 0;
}

}  // namespace

Terr EnableContinuousGrabbing(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg.state != CGStopped || inst.cg.thread != nullptr) {
    inst.cg.enabled = 1;
    return FG_OK;
  }
  RestartAcquisition(fginst, kRestartRearm);
  // The semaphore lives with the instance: a grab may still hold it while
  // a worker ends, so it is only replaced when the ring size changed.
  if (inst.cg.semaphore == nullptr || inst.cg.semaphore_max != inst.ring.count) {
    if (inst.cg.semaphore != nullptr) os::CloseSemaphore(inst.cg.semaphore);
    inst.cg.semaphore = os::CreateSemaphore(0, inst.ring.count);
    inst.cg.semaphore_max = inst.ring.count;
  }
  while (os::WaitSemaphore(inst.cg.semaphore, 0) == os::WaitResult::kSignalled) {
  }
  // Running from here on, so a grab right after enabling finds the worker.
  inst.cg.state = CGRunning;
  inst.cg.thread = os::CreateThread(ContinuousWorker, fginst);
  if (inst.cg.semaphore == nullptr || inst.cg.thread == nullptr) {
    inst.cg.state = CGStopped;
    return FG_ERR_PARAM_VALUE;
  }
  os::SetThreadPriority(inst.cg.thread, os::kPriorityTimeCritical);
  os::Sleep(10);
  inst.cg.signal_armed = 1;
  inst.cg.enabled = 1;
  return FG_OK;
}

Terr DisableContinuousGrabbing(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  const bool was_running = inst.cg.state == CGRunning;
  if (inst.cg.thread != nullptr) {
    uint32_t expected = 1;
    inst.cg.startup_state.compare_exchange_strong(expected, 2);
    Bd board = inst.board->handle;
    // A refused cancel is repeated: the worker would otherwise wait out its time-out.
    bool cancelled = CiSignalCancel(board, AcquisitionSignal(inst)) == 0;
    uint32_t polls = 0, code = 0;
    while (os::GetExitCodeThread(inst.cg.thread, &code) && code == os::kStillActive) {
      if (!cancelled) cancelled = CiSignalCancel(board, AcquisitionSignal(inst)) == 0;
      os::Sleep(10);
      ++polls;
    }
    if (inst.debug_output != 0) DebugTextf("Exit count: %u\n", polls);
    os::CloseThread(inst.cg.thread);
    inst.cg.thread = nullptr;
    if (inst.cg.state != CGStopped) inst.cg.state = CGStopped;
  }
  if (was_running) {
    Bd board = inst.board->handle;
    // Every frame of the run also raised the grab signal: one clear takes
    // them all (waiting them off one by one took a minute after an hour at
    // high rates); the drain then only meets a frame that ended meanwhile.
    CiSignalQueueClear(board, &inst.grab_signal);
    while (CiSignalWait(board, &inst.grab_signal, 0, nullptr) == 0) os::Sleep(0);
    RestartAcquisition(fginst, kRestartRearm);
  }
  inst.cg.signal_armed = 0;
  inst.cg.enabled = 0;
  return FG_OK;
}

void StopContinuousWorker(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg.enabled != 0 && inst.cg.signal_armed != 0) inst.cg.signal_armed = 0;
  if (inst.cg.thread != nullptr) {
    StopThread(inst.board->handle, AcquisitionSignal(inst), &inst.cg.thread);
  }
  inst.cg.state = CGStopped;
  if (inst.cg.semaphore != nullptr) {
    os::CloseSemaphore(inst.cg.semaphore);
    inst.cg.semaphore = nullptr;
    inst.cg.semaphore_max = 0;
  }
}

Terr WaitNextBufferContinuous(Tproc_handle, TFgInstance *fginst, uint32_t *index) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  if (inst.oneshot_mode != 0 && inst.software_trigger_on != 0) {
    CiConSwTrig(board, BF_TRIG_INPUT, BF_TRIG_PULSE);
  }
  uint32_t state = inst.cg.state;
  if ((state != CGRunning && state != CGOBMAbort) || inst.cg.semaphore == nullptr) {
    PrintError("CGRunning or CGOBMAbort.");
    return FG_ERR_GRAB;
  }
  // A refused unlock is the grab's failure, not something to wait past.
  Terr result = UnlockCancelMutex(inst);
  if (result != FG_OK) return result;
  const os::WaitResult waited = os::WaitSemaphore(inst.cg.semaphore, inst.grab_timeout);
  result = LockCancelMutex(inst);
  if (waited != os::WaitResult::kSignalled) {
    PrintError("Timed out waiting for new image to be acquired.");
    return result != FG_OK ? result : FG_ERR_GRAB;
  }
  // The list mutex comes before the cancel mutex, as the worker takes it. The
  // count of the frame taken from the semaphore is settled whatever the host says.
  const bool held = result == FG_OK;
  const Terr unlocked = held ? UnlockCancelMutex(inst) : FG_OK;
  os::LockMutex(g_cg_list_mutex, os::kInfinite);
  if (held) result = LockCancelMutex(inst);
  --inst.cg.frames_pending;
  os::UnlockMutex(g_cg_list_mutex);
  if (result != FG_OK) return result;
  if (unlocked != FG_OK) return unlocked;
  state = inst.cg.state;
  if (state != CGRunning && state != CGOBMAbort) {
    PrintError("!CGRunning and !CGOBMAbort.");
    return FG_ERR_GRAB;
  }
  if (inst.ring.state[inst.position.next_buffer_returned] == BufOverwritten) {
    PrintError("Overwrite buffer. Stop processing");
    return FG_ERR_GRAB;
  }
  *index = inst.position.next_buffer_returned;
  return FG_OK;
}

void InterruptContinuousWorker(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg.enabled != 0 && inst.cg.state != CGStopped) {
    inst.cg.state = CGStopped;
    CiSignalCancel(inst.board->handle, AcquisitionSignal(inst));
  }
}

Terr RestartContinuousGrabbing(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg.enabled == 0) return FG_OK;
  inst.cg.enabled = 0;
  return EnableContinuousGrabbing(fginst);
}

void FlushFilledBuffers(InstanceRecord &inst) {
  // Every filled buffer is given up, and the counts that track them with it.
  os::LockMutex(g_cg_list_mutex, os::kInfinite);
  while (os::WaitSemaphore(inst.cg.semaphore, 0) == os::WaitResult::kSignalled) {
  }
  for (uint32_t i = 0; i < inst.ring.count; ++i) {
    uint32_t acquired = BufAcquired;
    inst.ring.state[i].compare_exchange_strong(acquired, BufFree);
  }
  ReturnAll(inst.position);
  inst.cg.frames_pending = 0;
  os::UnlockMutex(g_cg_list_mutex);
}

void ReleaseContinuousWait(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg.semaphore != nullptr) os::ReleaseSemaphore(inst.cg.semaphore, 1);
}

}  // namespace grabline
