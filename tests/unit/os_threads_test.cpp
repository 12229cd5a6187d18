#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/os.hpp"
#include "platform/sched_attr.hpp"
#include "support/eventually.hpp"

namespace grabline::os {
namespace {

using testing::Eventually;

// A thread that blocks on `gate`, then notes that it ran to the end.
struct Gated {
  Event *gate = CreateEvent(false);
  std::atomic<bool> finished{false};
  ~Gated() { CloseEvent(gate); }
  static uint32_t Entry(void *raw) {
    auto *self = static_cast<Gated *>(raw);
    if (WaitEvent(self->gate, kInfinite) != WaitResult::kSignalled) return 1000;
    self->finished.store(true);
    return 42;
  }
};

TEST(ThreadedOsThreads, ExitCodeAndPriorityOfARunningThread) {
  const uint32_t before = RunningThreads();
  Gated gated;
  Thread *thread = CreateThread(Gated::Entry, &gated);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(RunningThreads(), before + 1);
  uint32_t code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, kStillActive);

  EXPECT_EQ(GetThreadPriority(thread), 0);
  EXPECT_TRUE(SetThreadPriority(thread, 15));
  EXPECT_FALSE(SetThreadPriority(thread, 16));
  EXPECT_FALSE(SetThreadPriority(thread, -16));
  EXPECT_EQ(GetThreadPriority(thread), 15);
  EXPECT_TRUE(SetThreadPriority(thread, -15));
  EXPECT_EQ(GetThreadPriority(thread), -15);

  SetEvent(gated.gate);
  ASSERT_TRUE(Eventually([&] { return GetExitCodeThread(thread, &code) && code != kStillActive; }));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(gated.finished.load());
  EXPECT_TRUE(Eventually([&] { return RunningThreads() == before; }));
  CloseThread(thread);
}

// Either side may let go of the control block last; ASan reports a block that
// nobody frees or one freed twice.
TEST(ThreadedOsThreads, HandleClosedBeforeOrAfterTheEndLeavesNothing) {
  const uint32_t before = RunningThreads();
  Gated early;
  Gated late;
  Thread *closed_early = CreateThread(Gated::Entry, &early);
  Thread *closed_late = CreateThread(Gated::Entry, &late);
  ASSERT_NE(closed_early, nullptr);
  ASSERT_NE(closed_late, nullptr);
  EXPECT_EQ(RunningThreads(), before + 2);
  CloseThread(closed_early);
  SetEvent(early.gate);
  SetEvent(late.gate);
  ASSERT_TRUE(Eventually([&] { return RunningThreads() == before; }));
  EXPECT_TRUE(early.finished.load());
  EXPECT_TRUE(late.finished.load());
  CloseThread(closed_late);
}

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

// A thread that, once let through `gate`, notes the slice it runs with.
struct SliceReport {
  Event *gate = CreateEvent(false);
  std::atomic<uint64_t> slice{0};
  ~SliceReport() { CloseEvent(gate); }
  static uint32_t Entry(void *raw) {
    auto *self = static_cast<SliceReport *>(raw);
    WaitEvent(self->gate, kInfinite);
    self->slice.store(OwnSlice());
    return 0;
  }
};

uint64_t SliceAfter(std::initializer_list<int> priorities) {
  SliceReport report;
  Thread *thread = CreateThread(SliceReport::Entry, &report);
  EXPECT_NE(thread, nullptr);
  if (thread == nullptr) return 0;
  // Set while the thread may still be starting: either side applies it.
  for (int priority : priorities) EXPECT_TRUE(SetThreadPriority(thread, priority));
  SetEvent(report.gate);
  uint32_t code = 0;
  EXPECT_TRUE(Eventually([&] { return GetExitCodeThread(thread, &code) && code == 0; }));
  CloseThread(thread);
  return report.slice.load();
}

// Time critical is the one priority the scheduler hears of: a short slice,
// which brings the thread's wake-ups forward on a busy machine; taking the
// priority back gives the default slice again.
TEST(ThreadedOsThreads, TimeCriticalThreadsRunWithAShortSlice) {
  if (!KernelKeepsSlices()) GTEST_SKIP() << "the kernel has no slices per thread";
  const uint64_t plain = SliceAfter({});
  EXPECT_NE(plain, 100'000u);
  EXPECT_EQ(SliceAfter({15}), 100'000u);
  EXPECT_EQ(SliceAfter({15, 0}), plain);
  EXPECT_EQ(SliceAfter({15, 14}), plain);
  EXPECT_EQ(SliceAfter({-15, 2}), plain);
}

TEST(OsThreads, NullHandlesAreRefused) {
  const uint32_t before = RunningThreads();
  EXPECT_EQ(CreateThread(nullptr, nullptr), nullptr);
  EXPECT_EQ(RunningThreads(), before);
  uint32_t code = 7;
  EXPECT_FALSE(GetExitCodeThread(nullptr, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(SetThreadPriority(nullptr, 0));
}

}  // namespace
}  // namespace grabline::os
