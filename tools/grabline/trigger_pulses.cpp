#include "trigger_pulses.hpp"

#include <chrono>

#include "bfsim_control.hpp"

namespace grabline::tool {

std::optional<uint32_t> OpenBoard() {
  std::optional<uint32_t> found;
  const std::vector<bfsim::BoardDesc> boards = bfsim::Boards();
  for (uint32_t n = 0; n < boards.size(); ++n) {
    if (!boards[n].open) continue;
    if (found) return std::nullopt;
    found = n;
  }
  return found;
}

void TriggerPulses::Start(uint32_t board, double rate) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  thread_ = std::thread([this, board, rate] { Loop(board, rate); });
}

void TriggerPulses::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void TriggerPulses::Loop(uint32_t board, double rate) {
  using Clock = std::chrono::steady_clock;
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
  // Pulses keep to a fixed schedule, so a slow pulse does not slow the rate down.
  Clock::time_point next = Clock::now() + period;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_until(lock, next, [this] { return stop_; })) {
    lock.unlock();
    bfsim::PulseExternalTrigger(board);
    pulses_.fetch_add(1, std::memory_order_relaxed);
    lock.lock();
    next += period;
    const Clock::time_point now = Clock::now();
    if (next < now) next = now;  // fell behind: no burst to catch up
  }
}

}  // namespace grabline::tool
