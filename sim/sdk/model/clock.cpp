// The frame clock. Frames follow a fixed schedule so the rate holds on
// average however the thread is woken: each wake-up hands over every frame
// due by then, one by one, as a board's DMA would have delivered them.
#include "model/clock.hpp"

#include <algorithm>

#include "model/prompt_wakeups.hpp"

namespace bfsim::model {
namespace {

using SteadyClock = std::chrono::steady_clock;

uint64_t Nanoseconds(SteadyClock::time_point at) {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count());
}

// Held by the clock thread while it runs.
struct PromptWakeUpsWhileRunning {
  PromptWakeUpsWhileRunning() { AskForPromptWakeUps(); }
  ~PromptWakeUpsWhileRunning() { EndPromptWakeUps(); }
  PromptWakeUpsWhileRunning(const PromptWakeUpsWhileRunning &) = delete;
  PromptWakeUpsWhileRunning &operator=(const PromptWakeUpsWhileRunning &) = delete;
};

}  // namespace

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
  const PromptWakeUpsWhileRunning prompt;
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (!running_) {
      changed_.wait(lock);
      continue;
    }
    const uint64_t epoch = epoch_;
    const std::chrono::nanoseconds period = period_;
    const uint64_t max_backlog = std::max<uint64_t>(1, kMaxBacklog / period);
    auto changed = [&] { return stop_ || !running_ || epoch_ != epoch; };
    SteadyClock::time_point next = SteadyClock::now() + period;  // the first frame's end
    SteadyClock::time_point wake = next;
    while (!changed_.wait_until(lock, wake, changed)) {
      const SteadyClock::time_point now = SteadyClock::now();
      if (now < next) {  // woken early
        wake = next;
        continue;
      }
      uint64_t due = static_cast<uint64_t>((now - next) / period) + 1;
      if (due > max_backlog) {
        next += static_cast<int64_t>(due - max_backlog) * period;
        due = max_backlog;
      }
      const Due batch{epoch, due, Nanoseconds(next), static_cast<uint64_t>(period.count())};
      next += static_cast<int64_t>(due) * period;
      lock.unlock();
      tick_(batch);
      lock.lock();
      wake = std::max(next, now + kMinSleep);
    }
  }
}

}  // namespace bfsim::model
