#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "platform/os.hpp"
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
