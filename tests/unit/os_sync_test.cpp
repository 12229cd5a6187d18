#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "platform/os.hpp"

namespace grabline::os {
namespace {

constexpr auto kSignalled = static_cast<uint32_t>(WaitResult::kSignalled);
constexpr auto kTimeout = static_cast<uint32_t>(WaitResult::kTimeout);

// Awaits a thread's exit code the way the plug-in stops its threads; the limit
// only bounds a failing test.
uint32_t Join(Thread *thread) {
  uint32_t code = kStillActive;
  for (int i = 0; i < 10000 && GetExitCodeThread(thread, &code) && code == kStillActive; ++i) {
    Sleep(1);
  }
  CloseThread(thread);
  return code;
}

// Takes everything the semaphore holds, without blocking.
uint32_t Drain(Semaphore *semaphore) {
  uint32_t taken = 0;
  while (WaitSemaphore(semaphore, 0) == WaitResult::kSignalled) ++taken;
  return taken;
}

TEST(OsSync, ManualResetEventStaysSetUntilReset) {
  Event *event = CreateEvent(false);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitEvent(event, 0), WaitResult::kTimeout);
  SetEvent(event);
  EXPECT_EQ(WaitEvent(event, 0), WaitResult::kSignalled);
  EXPECT_EQ(WaitEvent(event, kInfinite), WaitResult::kSignalled);
  ResetEvent(event);
  EXPECT_EQ(WaitEvent(event, 0), WaitResult::kTimeout);
  CloseEvent(event);
  event = CreateEvent(true);
  EXPECT_EQ(WaitEvent(event, 0), WaitResult::kSignalled);
  CloseEvent(event);
  EXPECT_EQ(WaitEvent(nullptr, 0), WaitResult::kFailed);
}

TEST(OsSync, SemaphoreCountsUpToItsMaximumAndNoFurther) {
  Semaphore *semaphore = CreateSemaphore(2, 3);
  ASSERT_NE(semaphore, nullptr);
  EXPECT_EQ(Drain(semaphore), 2u);
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 2));
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 2));  // all or nothing
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 0));
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1));
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 1));
  EXPECT_EQ(Drain(semaphore), 3u);
  CloseSemaphore(semaphore);

  semaphore = CreateSemaphore(1, INT32_MAX);  // the largest count there is
  EXPECT_FALSE(ReleaseSemaphore(semaphore, UINT32_MAX));
  EXPECT_FALSE(ReleaseSemaphore(semaphore, INT32_MAX));
  EXPECT_TRUE(ReleaseSemaphore(semaphore, INT32_MAX - 1));
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 1));
  CloseSemaphore(semaphore);
  EXPECT_EQ(CreateSemaphore(4, 3), nullptr);
  EXPECT_EQ(CreateSemaphore(0, 0), nullptr);
  EXPECT_EQ(CreateSemaphore(0, uint32_t{INT32_MAX} + 1), nullptr);
}

TEST(OsSync, TimedWaitsLastAtLeastTheirTimeOut) {
  Event *event = CreateEvent(false);
  Semaphore *semaphore = CreateSemaphore(0, 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitEvent(event, 30), WaitResult::kTimeout);
  EXPECT_EQ(WaitSemaphore(semaphore, 30), WaitResult::kTimeout);
  Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
  CloseSemaphore(semaphore);
  CloseEvent(event);
}

TEST(OsSync, MutexOwnerLocksAgainAndUnlocksAsOften) {
  Mutex *mutex = CreateMutex();
  ASSERT_NE(mutex, nullptr);
  EXPECT_FALSE(UnlockMutex(mutex));
  EXPECT_EQ(LockMutex(mutex, 0), WaitResult::kSignalled);
  EXPECT_EQ(LockMutex(mutex, 0), WaitResult::kSignalled);
  EXPECT_TRUE(UnlockMutex(mutex));
  EXPECT_TRUE(UnlockMutex(mutex));
  EXPECT_FALSE(UnlockMutex(mutex));
  CloseMutex(mutex);
}

struct EventWaiter {
  Event *started = CreateEvent(false);
  Event *gate;
  ~EventWaiter() { CloseEvent(started); }
  static uint32_t Entry(void *raw) {
    auto *self = static_cast<EventWaiter *>(raw);
    SetEvent(self->started);
    return static_cast<uint32_t>(WaitEvent(self->gate, kInfinite));
  }
};

TEST(ThreadedOsSync, OneSetEventReleasesEveryWaiter) {
  Event *gate = CreateEvent(false);
  EventWaiter waiters[3] = {{.gate = gate}, {.gate = gate}, {.gate = gate}};
  Thread *threads[3];
  for (int i = 0; i < 3; ++i) threads[i] = CreateThread(EventWaiter::Entry, &waiters[i]);
  for (EventWaiter &waiter : waiters) {
    ASSERT_EQ(WaitEvent(waiter.started, kInfinite), WaitResult::kSignalled);
  }
  uint32_t code = 0;
  for (Thread *thread : threads) {
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, kStillActive);  // held at the closed gate
  }
  SetEvent(gate);
  for (Thread *thread : threads) EXPECT_EQ(Join(thread), kSignalled);
  CloseEvent(gate);
}

struct Consumer {
  Semaphore *semaphore;
  static uint32_t Entry(void *raw) {
    auto *self = static_cast<Consumer *>(raw);
    uint32_t taken = 0;
    while (taken < 3 && WaitSemaphore(self->semaphore, kInfinite) == WaitResult::kSignalled) {
      ++taken;
    }
    return taken;
  }
};

TEST(ThreadedOsSync, BlockedConsumersTakeEveryRelease) {
  Semaphore *semaphore = CreateSemaphore(0, 4);
  Consumer consumer{semaphore};
  Thread *first = CreateThread(Consumer::Entry, &consumer);
  Thread *second = CreateThread(Consumer::Entry, &consumer);
  // One at a time, then two at once; when full, retry after the consumers took some.
  for (uint32_t count : {1u, 1u, 1u, 1u, 2u}) {
    while (!ReleaseSemaphore(semaphore, count)) Sleep(0);
  }
  EXPECT_EQ(Join(first) + Join(second), 6u);
  EXPECT_EQ(Drain(semaphore), 0u);
  CloseSemaphore(semaphore);
}

// Tries the mutex from another thread, first to unlock what it does not own.
struct Contender {
  Mutex *mutex;
  uint32_t timeout_ms;
  bool foreign_unlock = true;
  static uint32_t Entry(void *raw) {
    auto *self = static_cast<Contender *>(raw);
    self->foreign_unlock = UnlockMutex(self->mutex);
    const WaitResult result = LockMutex(self->mutex, self->timeout_ms);
    if (result == WaitResult::kSignalled) UnlockMutex(self->mutex);
    return static_cast<uint32_t>(result);
  }
};

TEST(ThreadedOsSync, HeldMutexKeepsOthersOutUntilFullyUnlocked) {
  Mutex *mutex = CreateMutex();
  ASSERT_EQ(LockMutex(mutex, kInfinite), WaitResult::kSignalled);
  ASSERT_EQ(LockMutex(mutex, kInfinite), WaitResult::kSignalled);
  Contender timed{mutex, 30};
  EXPECT_EQ(Join(CreateThread(Contender::Entry, &timed)), kTimeout);
  EXPECT_FALSE(timed.foreign_unlock);
  EXPECT_TRUE(UnlockMutex(mutex));  // still held once
  Contender polling{mutex, 0};
  EXPECT_EQ(Join(CreateThread(Contender::Entry, &polling)), kTimeout);
  Contender patient{mutex, kInfinite};
  Thread *thread = CreateThread(Contender::Entry, &patient);
  EXPECT_TRUE(UnlockMutex(mutex));
  EXPECT_EQ(Join(thread), kSignalled);
  CloseMutex(mutex);
}

// Plain increments: ThreadSanitizer reports them if the mutex lets two in.
struct Counter {
  Mutex *mutex = CreateMutex();
  uint64_t value = 0;
  static uint32_t Entry(void *raw) {
    auto *self = static_cast<Counter *>(raw);
    for (int i = 0; i < 2000; ++i) {
      if (LockMutex(self->mutex, kInfinite) != WaitResult::kSignalled) return 1;
      ++self->value;
      UnlockMutex(self->mutex);
    }
    return 0;
  }
};

TEST(ThreadedOsSync, MutexLetsOneThreadInAtATime) {
  Counter counter;
  Thread *threads[4];
  for (Thread *&thread : threads) thread = CreateThread(Counter::Entry, &counter);
  for (Thread *thread : threads) EXPECT_EQ(Join(thread), 0u);
  EXPECT_EQ(counter.value, 8000u);
  CloseMutex(counter.mutex);
}

}  // namespace
}  // namespace grabline::os
