// signal.hpp — an SDK signal: events of one type on one board, counted until
// a waiter takes them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "bfsdk.h"

namespace bfsim::model {

// Time stamps of raises are in fine ticks: microseconds of the monotonic clock.
inline constexpr uint64_t kFineTicksPerSecond = 1'000'000;
uint64_t FineTick();

// Signal types the board raises by itself.
inline constexpr uint32_t kSignalHardwareException = BF_SIG_HW_EXCEPTION;
inline constexpr uint32_t kSignalOverflow = BF_SIG_OVERFLOW;
inline constexpr uint32_t kSignalFrameDone = BF_SIG_FRAME_DONE;
inline constexpr uint32_t kSignalExposure = BF_SIG_EXPOSURE;
inline constexpr uint32_t kSignalGn2Exposure = BF_SIG_GN2_EXPOSURE;
inline constexpr uint32_t kSignalStartStop = BF_SIG_START_STOP;

class Signal {
 public:
  enum class Result : uint8_t { kSignalled, kTimeout, kCancelled, kFreed };
  struct Info {
    uint32_t line_count = 0;
    uint64_t time_stamp = 0;
  };

  // `wake` false: the raise counts at once, but a waiter blocked on the
  // signal only wakes at the next Wake(), so that a batch of events costs
  // it one wake-up.
  void Raise(const Info &info, bool wake = true);
  void Wake();
  // Blocks until a raise is pending (consumed), a cancel arrives, the signal
  // is freed, or `timeout_ms` passes (nullopt: no limit). `info` receives the
  // consumed raise, `pending` what is left pending.
  Result Wait(std::optional<uint32_t> timeout_ms, Info *info, uint32_t *pending);
  void Cancel();
  void Clear();
  void Free();
  uint32_t Pending();
  uint32_t Waiters();  // threads blocked in Wait right now

 private:
  // Infos of the most recent raises are kept up to this many; older pending
  // raises still count, with an empty info, so a signal nobody waits on
  // cannot grow without bound.
  static constexpr size_t kMaxInfos = 1024;

  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t pending_ = 0;
  std::deque<Info> infos_;  // the newest min(pending_, kMaxInfos) raises
  bool cancel_pending_ = false;
  bool freed_ = false;
  uint32_t waiters_ = 0;
};

}  // namespace bfsim::model
