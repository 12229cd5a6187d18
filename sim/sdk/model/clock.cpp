// The frame clock. Ticks follow a fixed schedule so the rate holds on
// average; a clock that falls behind (a slow machine, a sanitizer) skips the
// missed ticks instead of firing a burst.
#include "model/clock.hpp"

namespace bfsim::model {

FrameClock::FrameClock(Tick tick) : tick_(std::move(tick)), thread_([this] { Loop(); }) {}

FrameClock::~FrameClock() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void FrameClock::Run(uint32_t rate, uint64_t epoch) {
  {
    std::lock_guard lock(mutex_);
    running_ = true;
    epoch_ = epoch;
    period_ = std::chrono::nanoseconds(1'000'000'000 / (rate == 0 ? 1 : rate));
  }
  changed_.notify_all();
}

void FrameClock::Pause() {
  {
    std::lock_guard lock(mutex_);
    running_ = false;
  }
  changed_.notify_all();
}

void FrameClock::Loop() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (!running_) {
      changed_.wait(lock);
      continue;
    }
    const uint64_t epoch = epoch_;
    auto changed = [&] { return stop_ || !running_ || epoch_ != epoch; };
    auto next = std::chrono::steady_clock::now() + period_;
    while (!changed_.wait_until(lock, next, changed)) {
      lock.unlock();
      tick_(epoch);
      lock.lock();
      next += period_;
      auto now = std::chrono::steady_clock::now();
      if (next < now) next = now + period_;
    }
  }
}

}  // namespace bfsim::model
