// What the scheduler hears of a thread's priority on Linux.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "platform/os.hpp"
#include "platform/sched_attr.hpp"
#include "support/thread_report.hpp"

namespace grabline::os {
namespace {

// The calling thread's scheduler slice in nanoseconds, 0 if unknown.
uint64_t OwnSlice() {
  SchedAttr attr{};
  return syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) == 0 ? attr.runtime : 0;
}

// Whether this kernel keeps a slice a thread asks for.
bool KernelKeepsSlices() {
  bool kept = false;
  std::thread probe([&] {
    SchedAttr attr{};
    if (syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) != 0) return;
    attr.size = sizeof attr;
    attr.flags = 0;
    attr.runtime = 123'000;
    kept = syscall(SYS_sched_setattr, 0, &attr, 0) == 0 && OwnSlice() == 123'000;
  });
  probe.join();
  return kept;
}

int64_t Observe() { return static_cast<int64_t>(OwnSlice()); }

int64_t SeenAfter(std::initializer_list<int> priorities) {
  return testing::SeenAfter(priorities, Observe);
}
// Time critical is the one priority the scheduler hears of: a short slice,
// which brings the thread's wake-ups forward on a busy machine; taking the
// priority back gives the default slice again.
TEST(ThreadedOsThreads, TimeCriticalThreadsRunWithAShortSlice) {
  if (!KernelKeepsSlices()) GTEST_SKIP() << "the kernel has no slices per thread";
  const int64_t plain = SeenAfter({});
  EXPECT_NE(plain, 100'000);
  EXPECT_EQ(SeenAfter({15}), 100'000);
  EXPECT_EQ(SeenAfter({15, 0}), plain);
  EXPECT_EQ(SeenAfter({15, 14}), plain);
  EXPECT_EQ(SeenAfter({-15, 2}), plain);
}

}  // namespace
}  // namespace grabline::os
