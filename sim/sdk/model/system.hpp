// system.hpp — the installed boards and everything the process has opened on
// them: board handles, camera handles and signals, each named by an id that
// is never reused, so a stale id is refused instead of reaching a newer object.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/board.hpp"
#include "model/clock.hpp"
#include "model/qtab.hpp"
#include "model/signal.hpp"
#include "model/status.hpp"

namespace bfsim::model {

class System {
 public:
  // The process-wide system, loaded on first use like Reset() does.
  static System &Get();
  ~System();

  // Back to the configured system (GRABLINE_SIM_SYSTEM or the default):
  // every handle closed, every signal freed, driver ready.
  void Reset();
  // Replaces the boards; on a parse error keeps the current system and
  // returns the error text.
  std::string LoadText(std::string_view text);
  // Error of the last load from GRABLINE_SIM_SYSTEM, "" if it loaded.
  std::string LoadError();
  // Why the last camera file an open asked for was refused, "" if it loaded.
  std::string CameraError();

  void SetDriverReady(bool ready) { driver_ready_.store(ready, std::memory_order_relaxed); }
  bool DriverReady() const { return driver_ready_.load(std::memory_order_relaxed); }

  // ---- enumeration: positions in the board list ---------------------------
  uint64_t Generation();
  Status Count(uint32_t family, uint32_t &count);
  Status Find(uint32_t family, uint32_t index, uint32_t &position);
  Status FindBySwitch(uint32_t families, uint32_t switch_number, uint32_t connector,
                      uint32_t &position);

  // ---- open boards ------------------------------------------------------------
  // `camera_file` nullopt: the camera the system file gives the board.
  Status Open(uint32_t position, uint64_t generation, std::optional<std::string_view> camera_file,
              uint64_t &handle);
  Status Close(uint64_t handle);
  // The board `handle` has open as the system file numbers it ("R64:0"), ""
  // for none: how the call log names it.
  std::string BoardName(uint64_t handle);
  // Runs f(Board&, position) under the lock for an open handle. What f
  // changes of the trigger mode or the camera reaches the frame clock.
  template <typename F>
  Status WithBoard(uint64_t handle, F &&f) {
    std::lock_guard lock(mutex_);
    std::optional<uint32_t> position = PositionOf(handle);
    if (!position) return Status::kBadArg;
    f(boards_[*position], *position);
    SyncClock(*position);
    return Status::kOk;
  }
  // Runs f(std::vector<Board>&) under the lock, for the control API.
  template <typename F>
  auto WithBoards(F &&f) {
    std::lock_guard lock(mutex_);
    return f(boards_);
  }

  // ---- camera ports -------------------------------------------------------------
  Status SelectPort(uint64_t handle, uint32_t port);
  Status CurrentCamera(uint64_t handle, uint64_t &camera);
  Status SetCurrentCamera(uint64_t handle, uint64_t camera);
  Status CloseCamera(uint64_t handle, uint64_t camera);

  // ---- signals ---------------------------------------------------------------------
  Status CreateSignal(uint64_t handle, uint32_t type, uint64_t &id);
  // The live signal `id` of the board that `handle` has open.
  Status FindSignal(uint64_t handle, uint64_t id, std::shared_ptr<Signal> &signal);
  Status FreeSignal(uint64_t handle, uint64_t id);
  Status SetAcquisitionSignal(uint64_t handle, uint64_t id);
  uint32_t RaiseSignals(uint32_t position, uint32_t type, const Signal::Info &info);
  uint32_t LiveSignals(uint32_t position);
  uint32_t BlockedWaiters(uint32_t position);

  // ---- QTabs and chains (system_acq.cpp) --------------------------------------------
  // `layout` gives everything but the board, which `handle` names. A record
  // that still holds a live QTab (`previous`) is refused: its table would be
  // lost to the caller.
  Status CreateQTab(uint64_t handle, uint64_t camera, const QTab &layout, uint64_t previous,
                    uint64_t &id);
  Status MakePhysical(uint64_t handle, uint64_t id);
  Status LinkChain(uint64_t handle, const std::vector<uint64_t> &ids);
  // Engages the chain that QTab `first` is linked into, from its start.
  Status EngageChain(uint64_t handle, uint64_t first);
  Status SetStartStopInterrupt(uint64_t handle, uint64_t first, bool enable);
  // `release` false: the physical side only.
  Status FreeQTab(uint64_t handle, uint64_t id, bool release);
  uint32_t LiveQTabs(uint32_t position);
  // QTabs of the chain the board has engaged, 0 none.
  uint32_t EngagedLength(uint32_t position);

  // ---- acquisition ---------------------------------------------------------------------
  enum class Dma : uint8_t { kStart, kAbort, kReset };
  // kIdle aborts.
  Status Acquire(uint64_t handle, Armed mode);
  Status Shutdown(uint64_t handle);
  Status DmaCommand(uint64_t handle, Dma command);
  Status SoftwareTrigger(uint64_t handle);
  uint32_t PulseExternalTrigger(uint32_t position);
  uint32_t DeliverFrames(uint32_t position, uint32_t count);
  bool WaitArmed(uint32_t position, uint32_t timeout_ms);
  void SetManualClock(uint32_t position, bool manual);
  void SetCameraConnected(uint32_t position, bool connected);
  // Raises the signals of an event the board reports (overflow, hardware
  // exception); an overflow is also kept for the next overflow check.
  uint32_t InjectEvent(uint32_t position, uint32_t type);

  // ---- Quick Switch (system_quick_switch.cpp) --------------------------------------------
  Status SetQuickSwitchMode(uint64_t handle, bool on);
  // Programs the next frame into entry `index` of the chain QTab `first` is
  // linked into; positions as the region registers read them.
  Status SetQuickSwitchNext(uint64_t handle, uint64_t first, uint32_t index, uint32_t pos_a,
                            uint32_t pos_b);

 private:
  struct CameraRef {
    uint32_t board;
    uint32_t port;
  };
  struct SignalRef {
    uint32_t board;
    uint32_t type;
    std::shared_ptr<Signal> signal;
  };

  using CameraMap = std::map<uint64_t, CameraRef>;
  using SignalMap = std::map<uint64_t, SignalRef>;

  using Clocks = std::vector<std::unique_ptr<FrameClock>>;

  System();
  // All below with the lock held. Clocks taken out of service are handed
  // back so the caller can destroy (join) them once the lock is released.
  void ReplaceBoards(std::vector<BoardConfig> configs, Clocks &retired);
  std::unique_ptr<FrameClock> CloseBoard(uint32_t position);
  static void ApplyCamera(Board &board);  // trigger settings of the current camera
  uint32_t RaiseLocked(uint32_t position, uint32_t type, const Signal::Info &info);
  // Starts, re-times or pauses the board's clock to match its state.
  void SyncClock(uint32_t position);
  void ClockTick(uint32_t position, const FrameClock::Due &due);
  // `stamp`: the frame's time stamp in fine ticks.
  bool ProduceFrame(uint32_t position, uint64_t stamp);
  bool ProduceQuickSwitchFrame(uint32_t position);
  // The signals a delivered frame raises.
  void RaiseFrameEvents(uint32_t position, const FrameSpec &frame, uint64_t stamp);
  void ArmBoard(uint32_t position, Armed mode);
  // Drops the engaged chain when it was broken.
  void CheckEngaged(uint32_t position);
  Status OpenPosition(uint64_t handle, uint32_t &position);
  std::optional<uint32_t> PositionOf(uint64_t handle) const;
  // Camera or live signal of the board that `handle` has open.
  Status CameraOf(uint64_t handle, uint64_t camera, CameraMap::iterator &it);
  Status SignalOf(uint64_t handle, uint64_t id, SignalMap::iterator &it);
  uint64_t NewId() { return next_id_ += 16; }

  std::mutex mutex_;
  std::vector<Board> boards_;
  uint64_t generation_ = 0;
  std::string load_error_;
  std::string camera_error_;
  std::atomic<bool> driver_ready_{true};
  uint64_t next_id_ = 0x51000000;
  uint64_t next_epoch_ = 0;
  std::map<uint64_t, uint32_t> board_handles_;  // id -> position
  CameraMap camera_handles_;
  SignalMap signals_;
  QTabTable qtabs_;
  std::condition_variable armed_;  // some board was armed
  // While the clock hands over a batch of frames, the signals it raised;
  // their waiters are woken once the batch is in.
  bool hold_wakes_ = false;
  std::vector<Signal *> held_wakes_;
  Clocks clocks_;  // by position; last, so it is destroyed while the rest is still there
};

}  // namespace bfsim::model
