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

uint32_t Wrap(uint32_t index, uint32_t n) { return index + 1 >= n ? 0 : index + 1; }

void CountPending(InstanceRecord &inst, int delta) {
  os::LockMutex(g_cg_list_mutex, os::kInfinite);
  inst.frames_pending += static_cast<uint32_t>(delta);
  os::UnlockMutex(g_cg_list_mutex);
}

// Start/stop cameras start on the falling trigger input; waits for it.
void AwaitStartStopTrigger(InstanceRecord &inst, Bd board, uint32_t trig_c) {
  inst.cg_startup_state = 1;
  const uint32_t asserted = trig_c == 13 ? kProfile.trig_asserted_a : kProfile.trig_asserted_b;
  const uint64_t start = BFTick();
  uint32_t state = 0;
  CiConHwTrigStat(board, 1, &state);
  while (state == asserted && inst.cg_startup_state == 1 &&
         BFTickDelta(start, BFTick()) < inst.continuous_grab_timeout) {
    os::Sleep(0);
    CiConHwTrigStat(board, 1, &state);
  }
  if (state == asserted || inst.cg_startup_state != 1) inst.cg_state = CGFailed;
}

struct WaitResult {
  uint32_t result;
  uint32_t lines;
  uint64_t stamp;
};

WaitResult WaitFrame(InstanceRecord &inst, Bd board, CiSIGNAL *signal, bool twice) {
  WaitResult w{0, 0, 0};
  for (int pass = 0; pass < (twice ? 2 : 1); ++pass) {
    if constexpr (kProfile.has_software_timestamps) {
      CiSIGNAL_INFO info{};
      w.result = CiSignalWaitEx(board, signal, inst.continuous_grab_timeout, nullptr, &info);
      w.lines = info.line_count;
      w.stamp = info.time_stamp;
    } else {
      w.result = CiSignalWait(board, signal, inst.continuous_grab_timeout, nullptr);
    }
    if (w.result != 0) break;
  }
  return w;
}

void Exit(InstanceRecord &inst, Bd board) {
  if (inst.start_stop != 0) CiChainSIPDisable(board, inst.ring.qtab_ptr);
  CiAqCommand(board, BF_AQ_STOP, 2, 0, 0);
  inst.cg_state = CGStopped;
  if (kProfile.has_gn2 && IsGn2(inst)) BFRegPoke(board, kProfile.reg.gn2_acq_enable, 1);
  DebugOutput(inst, "Exited CG thread\n");
}

uint32_t ContinuousWorker(void *arg) {
  auto *fginst = static_cast<TFgInstance *>(arg);
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  CiSIGNAL *signal = AcquisitionSignal(inst);
  inst.cg_state = CGRunning;
  DebugOutput(inst, "Starting CG thread\n");

  const bool twice = TwoFieldFrames(inst, board);
  uint32_t height = 0, rate = 0, mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  CiBrdInquire(board, BF_INQ_YSIZE, &height);
  CiBrdInquire(board, BF_INQ_FRAME_RATE, &rate);
  CiConVTrigModeGet(board, &mode, &trig_a, &trig_b, &trig_c);

  const uint32_t n = inst.ring.count;
  for (uint32_t i = 0; i < n; ++i) inst.ring.state[i] = BufFree;
  inst.next_buffer_acquired = 0;
  inst.next_buffer_acquired_abs = 0;
  inst.fill_index = 0;
  inst.next_buffer_returned = 0;
  inst.next_buffer_returned_abs = 0;
  inst.num_buffers_overwritten = 0;
  os::LockMutex(g_cg_list_mutex, os::kInfinite);
  inst.frames_pending = 0;
  os::UnlockMutex(g_cg_list_mutex);

  if (inst.start_stop == 0) {
    CiSignalQueueClear(board, &inst.cg_signal);
    CiSignalQueueClear(board, &inst.exposure_signal);
  } else {
    AwaitStartStopTrigger(inst, board, trig_c);
    if (CiSignalQueueClear(board, &inst.cg_ss_signal) != 0 ||
        CiSignalQueueClear(board, &inst.exposure_signal) != 0) {
      inst.cg_state = CGStopped;
      PrintError("Error starting up CG thread");
    }
    inst.cg_startup_state = 0;
  }
  if (inst.cg_state != CGRunning) {
    inst.cg_state = CGStopped;
    DebugOutput(inst, "CG thread aborted during startup, exiting thread\n");
    return 0;
  }

  if (kProfile.has_gn2 && IsGn2(inst)) BFRegPoke(board, kProfile.reg.gn2_acq_enable, 65535);
  if (CiConAqCommand(board, BF_CONAQ_GRAB, 0) != 0) {
    DebugOutput(inst, "Failed in Aq.\n");
    inst.cg_state = CGStopped;
  } else if (inst.start_stop != 0) {
    CiChainSIPEnable(board, inst.ring.qtab_ptr);
  }

  while (inst.cg_state == CGRunning) {
    WaitResult w = WaitFrame(inst, board, signal, twice);
    if (w.result == 0 && !twice && IsRoadRunner(inst) && inst.start_stop != 0 &&
        BFRegPeek(board, kProfile.reg.acq_status_a) == 0 && inst.cg_state != CGStopped) {
      w = WaitFrame(inst, board, signal, false);
    }
    const uint32_t encoder = BFRegPeek(board, kProfile.reg.encoder_count);
    if (inst.debug_output != 0) {
      const uint32_t acquired = inst.next_buffer_acquired_abs;
      const uint32_t returned = inst.next_buffer_returned_abs;
      DebugTextf("Capt: %08d, cur abs %08d, next abs %08d, free %08d\n",
                 static_cast<int>(inst.fill_index.load()), static_cast<int>(returned),
                 static_cast<int>(acquired), static_cast<int>(n - acquired + returned));
    }
    if (w.result == BF_WAIT_CANCEL) {
      DebugOutput(inst, "Signal cancelled\n");
      inst.cg_state = CGCancelled;
    } else if (w.result == BF_WAIT_TIMEOUT) {
      Report(inst, "Worker thread timed out waiting for acquisition to completed");
      inst.cg_state = CGFailed;
    } else if (w.result != 0) {
      Report(inst, "Error waiting for next signal");
      inst.cg_state = CGFailed;
    }
    if (inst.software_timestamp != 0 && inst.cg_state == CGRunning &&
        WriteSoftwareTimestamps(inst, w.stamp) != FG_OK) {
      // Acquisition, semaphore and state stay as they are.
      PrintError("Error writing software timestamps");
      return 0;
    }
    if (inst.cg_state != CGRunning) break;

    const uint32_t c = inst.next_buffer_acquired;
    const uint32_t margin = inst.ring_buffer_stop_margin;
    const uint32_t method = inst.overwrite_method;
    if (inst.ring.state[(c + margin - 1) % n] == BufAcquired && method == kOverwriteAbort &&
        inst.print_grab == 0) {
      inst.ring.state[(c + 1) % n] = BufOverwritten;
      Report(inst, "Acquiring thread caught up with processing thread, aborting");
      inst.cg_state = CGOBMAbort;
      break;
    }
    if (inst.ring.state[c] == BufAcquired && method == kOverwriteIgnore) {
      // The oldest frame is dropped so the newest can be kept.
      // The grab may hand a buffer back at the same moment: advance by one
      // step whatever index it left.
      uint32_t returned = inst.next_buffer_returned.load();
      while (!inst.next_buffer_returned.compare_exchange_weak(returned, Wrap(returned, n))) {
      }
      ++inst.next_buffer_returned_abs;
      ++inst.num_buffers_overwritten;
    }
    const uint32_t fill = inst.fill_index;
    if (inst.start_stop != 0) {
      if (kProfile.has_software_timestamps && IsGn2(inst)) {
        inst.ring.ss_lines[fill] = w.lines;
      } else {
        uint32_t last = 0;
        CiAqLastLine(board, &last, 0);
        inst.ring.ss_lines[fill] = last - 1;
      }
    }
    inst.ring.encoder_count[fill] = encoder;
    inst.ring.state[fill] = BufAcquired;
    inst.fill_index = Wrap(fill, n);
    inst.next_buffer_acquired = Wrap(c, n);
    ++inst.next_buffer_acquired_abs;
    CountPending(inst, +1);
    os::ReleaseSemaphore(inst.cg_semaphore, 1);
  }
  Exit(inst, board);
  return 0;
}

}  // namespace

Terr EnableContinuousGrabbing(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg_state != CGStopped || inst.cg_thread != nullptr) {
    inst.continuous_grabbing = 1;
    return FG_OK;
  }
  RestartAcquisition(fginst, kRestartRearm);
  // The semaphore lives with the instance: a grab may still hold it while
  // a worker ends, so it is only replaced when the ring size changed.
  if (inst.cg_semaphore == nullptr || inst.cg_semaphore_max != inst.ring.count) {
    if (inst.cg_semaphore != nullptr) os::CloseSemaphore(inst.cg_semaphore);
    inst.cg_semaphore = os::CreateSemaphore(0, inst.ring.count);
    inst.cg_semaphore_max = inst.ring.count;
  }
  while (os::WaitSemaphore(inst.cg_semaphore, 0) == os::WaitResult::kSignalled) {
  }
  // Running from here on, so a grab right after enabling finds the worker.
  inst.cg_state = CGRunning;
  inst.cg_thread = os::CreateThread(ContinuousWorker, fginst);
  if (inst.cg_semaphore == nullptr || inst.cg_thread == nullptr) {
    inst.cg_state = CGStopped;
    return FG_ERR_PARAM_VALUE;
  }
  os::SetThreadPriority(inst.cg_thread, os::kPriorityTimeCritical);
  os::Sleep(10);
  inst.cg_signal_armed = 1;
  inst.continuous_grabbing = 1;
  return FG_OK;
}

Terr DisableContinuousGrabbing(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  const bool was_running = inst.cg_state == CGRunning;
  if (inst.cg_thread != nullptr) {
    uint32_t expected = 1;
    inst.cg_startup_state.compare_exchange_strong(expected, 2);
    Bd board = inst.board->handle;
    // A refused cancel is repeated: the worker would otherwise wait out its time-out.
    bool cancelled = CiSignalCancel(board, AcquisitionSignal(inst)) == 0;
    uint32_t polls = 0, code = 0;
    while (os::GetExitCodeThread(inst.cg_thread, &code) && code == os::kStillActive) {
      if (!cancelled) cancelled = CiSignalCancel(board, AcquisitionSignal(inst)) == 0;
      os::Sleep(10);
      ++polls;
    }
    if (inst.debug_output != 0) DebugTextf("Exit count: %u\n", polls);
    os::CloseThread(inst.cg_thread);
    inst.cg_thread = nullptr;
    if (inst.cg_state != CGStopped) inst.cg_state = CGStopped;
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
  inst.cg_signal_armed = 0;
  inst.continuous_grabbing = 0;
  return FG_OK;
}

void StopContinuousWorker(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.continuous_grabbing != 0 && inst.cg_signal_armed != 0) inst.cg_signal_armed = 0;
  if (inst.cg_thread != nullptr) {
    StopThread(inst.board->handle, AcquisitionSignal(inst), &inst.cg_thread);
  }
  inst.cg_state = CGStopped;
  if (inst.cg_semaphore != nullptr) {
    os::CloseSemaphore(inst.cg_semaphore);
    inst.cg_semaphore = nullptr;
    inst.cg_semaphore_max = 0;
  }
}

Terr WaitNextBufferContinuous(Tproc_handle, TFgInstance *fginst, uint32_t *index) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  if (inst.oneshot_mode != 0 && inst.software_trigger_on != 0) {
    CiConSwTrig(board, BF_TRIG_INPUT, BF_TRIG_PULSE);
  }
  uint32_t state = inst.cg_state;
  if ((state != CGRunning && state != CGOBMAbort) || inst.cg_semaphore == nullptr) {
    PrintError("CGRunning or CGOBMAbort.");
    return FG_ERR_GRAB;
  }
  // A refused unlock is the grab's failure, not something to wait past.
  Terr result = UnlockCancelMutex(inst);
  if (result != FG_OK) return result;
  const os::WaitResult waited = os::WaitSemaphore(inst.cg_semaphore, inst.grab_timeout);
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
  --inst.frames_pending;
  os::UnlockMutex(g_cg_list_mutex);
  if (result != FG_OK) return result;
  if (unlocked != FG_OK) return unlocked;
  state = inst.cg_state;
  if (state != CGRunning && state != CGOBMAbort) {
    PrintError("!CGRunning and !CGOBMAbort.");
    return FG_ERR_GRAB;
  }
  if (inst.ring.state[inst.next_buffer_returned] == BufOverwritten) {
    PrintError("Overwrite buffer. Stop processing");
    return FG_ERR_GRAB;
  }
  *index = inst.next_buffer_returned;
  return FG_OK;
}

void ReleaseContinuousWait(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.cg_semaphore != nullptr) os::ReleaseSemaphore(inst.cg_semaphore, 1);
}

}  // namespace grabline
