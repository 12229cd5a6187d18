// The acquisition side of the system: QTabs and chains, the commands that arm
// the board and run its DMA, triggers, the frame clock and frame production.
// A frame is written under the system lock, the lock every QTab free takes,
// so memory is written only while a live QTab of the engaged chain covers it.
#include <algorithm>

#include "model/lines.hpp"
#include "model/system.hpp"

namespace bfsim::model {
namespace {

bool Triggered(const Board &board) {
  const uint32_t mode = EffectiveTriggerMode(board);
  return mode == 2 || mode == 3 || mode == 6 || mode == 7 || mode == 8;
}

}  // namespace

Status System::OpenPosition(uint64_t handle, uint32_t &position) {
  std::optional<uint32_t> found = PositionOf(handle);
  if (!found) return Status::kBadArg;
  position = *found;
  return Status::kOk;
}

// ---- QTabs and chains ------------------------------------------------------------------

Status System::CreateQTab(uint64_t handle, uint64_t camera, const QTab &layout, uint64_t previous,
                          uint64_t &id) {
  std::lock_guard lock(mutex_);
  CameraMap::iterator it;
  Status status = CameraOf(handle, camera, it);
  if (status != Status::kOk) return status;
  if (qtabs_.Usable(previous)) return Status::kBadArg;
  QTab qtab = layout;
  qtab.board = it->second.board;
  qtab.physical = false;
  qtab.chain = 0;
  id = NewId();
  qtabs_.Add(id, qtab);
  return Status::kOk;
}

Status System::MakePhysical(uint64_t handle, uint64_t id) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  QTab *qtab = qtabs_.Find(id, position);
  if (qtab == nullptr) return Status::kBadArg;
  qtab->physical = true;
  return Status::kOk;
}

Status System::LinkChain(uint64_t handle, const std::vector<uint64_t> &ids) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  status = qtabs_.Link(position, ids, NewId());
  CheckEngaged(position);
  return status;
}

Status System::EngageChain(uint64_t handle, uint64_t first) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  const QTab *qtab = qtabs_.Find(first, position);
  if (qtab == nullptr || qtab->chain == 0) return Status::kBadArg;
  boards_[position].acq.chain = qtab->chain;
  boards_[position].acq.position = 0;
  return Status::kOk;
}

Status System::SetStartStopInterrupt(uint64_t handle, uint64_t first, bool enable) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  const QTab *qtab = qtabs_.Find(first, position);
  if (qtab == nullptr || qtab->chain == 0) return Status::kBadArg;
  boards_[position].devices.sip_enabled = enable;
  return Status::kOk;
}

Status System::FreeQTab(uint64_t handle, uint64_t id, bool release) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  status = qtabs_.Free(id, position, release);
  CheckEngaged(position);
  return status;
}

uint32_t System::LiveQTabs(uint32_t position) {
  std::lock_guard lock(mutex_);
  return qtabs_.Live(position);
}

uint32_t System::EngagedLength(uint32_t position) {
  std::lock_guard lock(mutex_);
  if (position >= boards_.size() || boards_[position].acq.chain == 0) return 0;
  const std::vector<uint64_t> *chain = qtabs_.Chain(boards_[position].acq.chain);
  return chain == nullptr ? 0 : static_cast<uint32_t>(chain->size());
}

// A chain that lost a member leaves the DMA engine with no destination at
// all, rather than with a hole that a frame could fall through.
void System::CheckEngaged(uint32_t position) {
  Acquisition &acq = boards_[position].acq;
  if (acq.chain != 0 && qtabs_.Chain(acq.chain) == nullptr) acq.chain = 0;
}

// ---- commands -------------------------------------------------------------------------------

void System::ArmBoard(uint32_t position, Armed mode) {
  Arm(boards_[position], mode);
  SyncClock(position);
  armed_.notify_all();
}

Status System::Acquire(uint64_t handle, Armed mode) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  if (mode == Armed::kIdle) {
    Disarm(boards_[position]);
    SyncClock(position);
  } else {
    ArmBoard(position, mode);
  }
  return Status::kOk;
}

Status System::Shutdown(uint64_t handle) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  Disarm(boards_[position]);
  boards_[position].acq.dma_running = false;
  SyncClock(position);
  return Status::kOk;
}

Status System::DmaCommand(uint64_t handle, Dma command) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  Acquisition &acq = boards_[position].acq;
  switch (command) {
    case Dma::kStart:
      if (acq.chain == 0 && !acq.qs.next_set) return Status::kBadArg;  // nothing to transfer into
      acq.dma_running = true;
      break;
    case Dma::kAbort:
      acq.dma_running = false;
      break;
    case Dma::kReset:
      acq.dma_running = false;
      acq.position = 0;
      break;
  }
  return Status::kOk;
}

Status System::SoftwareTrigger(uint64_t handle) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  if (boards_[position].acq.qs.on) {
    ProduceQuickSwitchFrame(position);
  } else if (Triggered(boards_[position])) {
    ProduceFrame(position, FineTick());
  }
  return Status::kOk;
}

// ---- control ------------------------------------------------------------------------------------

uint32_t System::PulseExternalTrigger(uint32_t position) {
  std::lock_guard lock(mutex_);
  if (position >= boards_.size()) return 0;
  const Board &board = boards_[position];
  if (!board.trigger.external_connected || !Triggered(board)) return 0;
  return ProduceFrame(position, FineTick()) ? 1 : 0;
}

uint32_t System::DeliverFrames(uint32_t position, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (position >= boards_.size()) return 0;
  uint32_t produced = 0;
  while (produced < count && ProduceFrame(position, FineTick())) ++produced;
  return produced;
}

bool System::WaitArmed(uint32_t position, uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  return armed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return position < boards_.size() && boards_[position].acq.armed != Armed::kIdle;
  });
}

void System::SetManualClock(uint32_t position, bool manual) {
  std::lock_guard lock(mutex_);
  if (position >= boards_.size()) return;
  boards_[position].manual_clock = manual;
  SyncClock(position);
}

void System::SetCameraConnected(uint32_t position, bool connected) {
  std::lock_guard lock(mutex_);
  if (position >= boards_.size()) return;
  boards_[position].camera_connected = connected;
  SyncRegisters(boards_[position]);
}

uint32_t System::InjectEvent(uint32_t position, uint32_t type) {
  std::lock_guard lock(mutex_);
  if (position >= boards_.size()) return 0;
  if (type == kSignalOverflow && boards_[position].open_count > 0) {
    boards_[position].acq.overflowed = true;
  }
  return RaiseLocked(position, type, Signal::Info{0, FineTick()});
}

// ---- the clock and the frames -------------------------------------------------------------

void System::SyncClock(uint32_t position) {
  Board &board = boards_[position];
  Acquisition &acq = board.acq;
  const bool want = board.open_count > 0 && acq.armed != Armed::kIdle && !board.manual_clock &&
                    !acq.qs.on && EffectiveTriggerMode(board) == 0;
  const uint32_t rate = board.CurrentCamera().frame_rate;
  if (want == acq.clock_running && (!want || rate == acq.clock_rate)) return;
  acq.clock_running = want;
  acq.clock_rate = rate;
  acq.clock_epoch = ++next_epoch_;  // ticks already under way no longer count
  std::unique_ptr<FrameClock> &clock = clocks_[position];
  if (want) {
    if (!clock) {
      clock = std::make_unique<FrameClock>(
          [this, position](const FrameClock::Due &due) { ClockTick(position, due); });
    }
    clock->Run(rate, acq.clock_epoch);
  } else if (clock) {
    clock->Pause();
  }
}

// The due frames are produced one by one, each checked against the epoch:
// the frame that ends a snap stops the batch. Waiters wake once a part of
// the batch is in, not once a frame; the lock is let go between parts so a
// long batch does not hold up the application's calls.
void System::ClockTick(uint32_t position, const FrameClock::Due &due) {
  constexpr uint64_t kFramesPerHold = 32;
  bool current = true;
  for (uint64_t i = 0; current && i < due.count;) {
    std::lock_guard lock(mutex_);
    hold_wakes_ = true;
    for (const uint64_t end = std::min(due.count, i + kFramesPerHold); i < end; ++i) {
      current = position < boards_.size() && boards_[position].acq.clock_running &&
                boards_[position].acq.clock_epoch == due.epoch;
      if (!current) break;
      ProduceFrame(position, due.StampUs(i));
    }
    hold_wakes_ = false;
    for (Signal *signal : held_wakes_) signal->Wake();
    held_wakes_.clear();
  }
}

// A frame is taken only while acquisition is armed, the DMA engine runs into
// an engaged chain and the camera is connected; otherwise the camera's frame
// passes the board unseen.
bool System::ProduceFrame(uint32_t position, uint64_t stamp) {
  Board &board = boards_[position];
  Acquisition &acq = board.acq;
  // In Quick Switch mode only the frames the plug-in names are taken.
  if (board.open_count == 0 || acq.armed == Armed::kIdle || !acq.dma_running ||
      !board.camera_connected || acq.chain == 0 || acq.qs.on) {
    return false;
  }
  const std::vector<uint64_t> *chain = qtabs_.Chain(acq.chain);
  if (chain == nullptr || chain->empty()) return false;
  const QTab *qtab = qtabs_.Find((*chain)[acq.position % chain->size()], position);
  if (qtab == nullptr) return false;
  acq.position = static_cast<uint32_t>((acq.position + 1) % chain->size());

  const FrameSpec frame = TakeFrame(board, qtab->format);
  WriteFrame(*qtab, frame, board.pattern_rows);
  FinishFrame(board, frame);
  RaiseFrameEvents(position, frame, stamp);
  SyncClock(position);  // a snap has ended
  return true;
}

void System::RaiseFrameEvents(uint32_t position, const FrameSpec &frame, uint64_t stamp) {
  const Board &board = boards_[position];
  const Signal::Info info{frame.lines, stamp};
  const uint32_t family = board.config.family;
  RaiseLocked(position, family == kFamilyGn2 ? kSignalGn2Exposure : kSignalExposure, info);
  const bool fields = family == kFamilyRaven && board.CurrentCamera().interlace == BF_INTERLACED;
  for (int field = 0; field < (fields ? 2 : 1); ++field) {
    RaiseLocked(position, kSignalFrameDone, info);
  }
  if (StartStopMode(board) && family == kFamilyR64) RaiseLocked(position, kSignalStartStop, info);
}

}  // namespace bfsim::model
