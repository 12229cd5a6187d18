// clock.hpp — the thread that makes a free-running camera deliver frames at
// its rate. It only paces: every wake-up hands the owner the frames that fell
// due since the last one, and the owner decides under its own lock whether
// they still count (their epoch is the current one).
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
  // `count` frames fell due, the first at `first_ns` and the others
  // `period_ns` apart (nanoseconds of the monotonic clock).
  struct Due {
    uint64_t epoch = 0;
    uint64_t count = 0;
    uint64_t first_ns = 0;
    uint64_t period_ns = 0;

    // Time stamp of due frame `i` in fine ticks (microseconds).
    uint64_t StampUs(uint64_t i) const { return (first_ns + i * period_ns) / 1000; }
  };
  using Tick = std::function<void(const Due &due)>;

  // At rates above 1/kMinSleep frames come in batches: one wake-up a frame
  // would cost more than the frame period.
  static constexpr std::chrono::microseconds kMinSleep{1000};
  // A clock that was held up longer than this (a loaded machine, a
  // sanitizer) drops the older frames it missed: firing them all at once
  // would flood the ring with frames the camera spreads out, and so blame
  // the application for drops that only the simulator caused.
  static constexpr std::chrono::milliseconds kMaxBacklog{2};

  explicit FrameClock(Tick tick);
  // Stops and joins the thread. Never destroy a clock while holding the lock
  // its ticks take.
  ~FrameClock();
  FrameClock(const FrameClock &) = delete;
  FrameClock &operator=(const FrameClock &) = delete;

  // Ticks `rate` frames a second from now on, each tick carrying `epoch`.
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
