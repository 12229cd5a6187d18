// trigger_pulses.hpp — a pulse generator on the simulated board's trigger input, so
// that a grab on the external trigger has something to follow, as a line from a
// sensor or an encoder would on a real machine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace grabline::tool {

// The position (as the simulator's control API counts boards) of the one board the
// tool has open; nullopt when none or several are open.
std::optional<uint32_t> OpenBoard();

class TriggerPulses {
 public:
  TriggerPulses() = default;
  TriggerPulses(const TriggerPulses &) = delete;
  TriggerPulses &operator=(const TriggerPulses &) = delete;
  ~TriggerPulses() { Stop(); }

  // Pulses board `board`'s input `rate` times a second until Stop(); a pulse finds the
  // board armed or passes unseen, as on hardware.
  void Start(uint32_t board, double rate);
  void Stop();
  uint64_t pulses() const { return pulses_.load(std::memory_order_relaxed); }

 private:
  void Loop(uint32_t board, double rate);

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;  // guarded by mutex_
  std::atomic<uint64_t> pulses_{0};
};

}  // namespace grabline::tool
