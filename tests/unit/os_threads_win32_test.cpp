// Thread priorities as the system's own threads carry them.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/os.hpp"
#include "platform/win32.hpp"
#include "support/thread_report.hpp"

namespace grabline::os {
namespace {

int64_t Observe() { return ::GetThreadPriority(::GetCurrentThread()); }

int64_t SeenAfter(std::initializer_list<int> priorities) {
  return testing::SeenAfter(priorities, Observe);
}

// The scale's ends are the system's idle and time-critical priorities; the
// values between reach it as the nearest one a process of the normal class
// may give.
TEST(ThreadedOsThreads, ThePriorityIsTheSystemThreadsOwn) {
  EXPECT_EQ(SeenAfter({}), THREAD_PRIORITY_NORMAL);
  EXPECT_EQ(SeenAfter({15}), THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_EQ(SeenAfter({-15}), THREAD_PRIORITY_IDLE);
  EXPECT_EQ(SeenAfter({15, 0}), THREAD_PRIORITY_NORMAL);
  EXPECT_EQ(SeenAfter({1}), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(SeenAfter({-2}), THREAD_PRIORITY_LOWEST);
  EXPECT_EQ(SeenAfter({9}), THREAD_PRIORITY_HIGHEST);
  EXPECT_EQ(SeenAfter({-9}), THREAD_PRIORITY_LOWEST);
}

}  // namespace
}  // namespace grabline::os
