// Counting the threads of this process, to prove none is left running.
#pragma once

#include <chrono>
#include <thread>

#include "support/test_os.hpp"

namespace grabline::testing {

// ThreadSanitizer starts a thread of its own at some point of a process;
// it may appear between a count and the next.
#if defined(__SANITIZE_THREAD__)
inline constexpr int kSanitizerThreads = 1;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr int kSanitizerThreads = 1;
#else
inline constexpr int kSanitizerThreads = 0;
#endif
#else
inline constexpr int kSanitizerThreads = 0;
#endif

// Waits (bounded) until no more than `baseline` threads run: a thread reports
// its end before the system has reaped it.
inline bool ThreadsBackTo(int baseline) {
  for (int i = 0; i < 1000 && ProcessThreads() > baseline + kSanitizerThreads; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return ProcessThreads() <= baseline + kSanitizerThreads;
}

}  // namespace grabline::testing
