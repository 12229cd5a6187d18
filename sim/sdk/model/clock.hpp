// clock.hpp — the thread that makes a free-running camera deliver frames at
// its rate. It only paces: every tick goes to the owner, which decides under
// its own lock whether the tick still counts (its epoch is the current one).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace bfsim::model {

class FrameClock {
 public:
  using Tick = std::function<void(uint64_t epoch)>;

  explicit FrameClock(Tick tick);
  // Stops and joins the thread. Never destroy a clock while holding the lock
  // its ticks take.
  ~FrameClock();
  FrameClock(const FrameClock &) = delete;
  FrameClock &operator=(const FrameClock &) = delete;

  // Ticks `rate` times a second from now on, each tick carrying `epoch`.
  void Run(uint32_t rate, uint64_t epoch);
  void Pause();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  bool running_ = false;
  uint64_t epoch_ = 0;
  std::chrono::nanoseconds period_{0};
  Tick tick_;
  std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace bfsim::model
