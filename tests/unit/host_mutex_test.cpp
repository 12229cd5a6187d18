// Host mutexes: recursion, refusals of bad handles, injection, exclusion.
#include <future>
#include <thread>
#include <vector>

#include "host_fixture.hpp"

namespace tarvel::testing {
namespace {

using HostMutex = HostTest;

TEST_F(HostMutex, RecursiveLockThroughTheGlobals) {
  const size_t live = OutstandingMutexes();
  TpMutex mutex = nullptr;
  ASSERT_EQ(TpThreadMutexInit(&mutex), T_MSG_OK);
  EXPECT_NE(mutex, nullptr);
  EXPECT_EQ(OutstandingMutexes(), live + 1);
  EXPECT_EQ(TpThreadMutexLock(&mutex), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexLock(&mutex), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_MSG_OK);
  // Still held once: destroying it now would pull it from under its holder.
  EXPECT_EQ(TpThreadMutexDestroy(&mutex), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexDestroy(&mutex), T_MSG_OK);
  EXPECT_EQ(mutex, nullptr);
  EXPECT_EQ(OutstandingMutexes(), live);
}

TEST_F(HostMutex, BadHandlesAreRefused) {
  TpMutex never = nullptr;
  EXPECT_EQ(TpThreadMutexLock(nullptr), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexLock(&never), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexUnlock(&never), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexDestroy(&never), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexInit(nullptr), T_ERR_MUTEX);

  TpMutex mutex = nullptr;
  ASSERT_EQ(TpThreadMutexInit(&mutex), T_MSG_OK);
  TpMutex stale = mutex;
  EXPECT_EQ(TpThreadMutexInit(&mutex), T_ERR_MUTEX);  // would lose the live one
  ASSERT_EQ(TpThreadMutexDestroy(&mutex), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexLock(&stale), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexDestroy(&stale), T_ERR_MUTEX);
}

TEST_F(HostMutex, NthMutexCallFailsWhateverItIs) {
  const uint64_t calls = MutexCalls();
  TpMutex mutex = nullptr;
  FailMutexCall(3);
  ASSERT_EQ(TpThreadMutexInit(&mutex), T_MSG_OK);
  ASSERT_EQ(TpThreadMutexLock(&mutex), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_ERR_MUTEX);  // injected: still locked
  EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexDestroy(&mutex), T_MSG_OK);
  EXPECT_EQ(MutexCalls(), calls + 5);
}

TEST(ThreadedHostMutex, ExcludesOtherThreads) {
  TpMutex mutex = nullptr;
  ASSERT_EQ(TpThreadMutexInit(&mutex), T_MSG_OK);
  int64_t counter = 0;  // plain on purpose: only the host mutex protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int k = 0; k < 1000; ++k) {
        ASSERT_EQ(TpThreadMutexLock(&mutex), T_MSG_OK);
        ++counter;
        ASSERT_EQ(TpThreadMutexUnlock(&mutex), T_MSG_OK);
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(counter, 4000);
  EXPECT_EQ(TpThreadMutexDestroy(&mutex), T_MSG_OK);
}

TEST(ThreadedHostMutex, OnlyTheHolderUnlocksAndDestroyWaitsForIt) {
  TpMutex mutex = nullptr;
  ASSERT_EQ(TpThreadMutexInit(&mutex), T_MSG_OK);
  std::promise<void> locked;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::thread holder([&] {
    EXPECT_EQ(TpThreadMutexLock(&mutex), T_MSG_OK);
    locked.set_value();
    released.wait();
    EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_MSG_OK);
  });
  locked.get_future().wait();
  EXPECT_EQ(TpThreadMutexUnlock(&mutex), T_ERR_MUTEX);
  EXPECT_EQ(TpThreadMutexDestroy(&mutex), T_ERR_MUTEX);
  release.set_value();
  holder.join();
  EXPECT_EQ(TpThreadMutexDestroy(&mutex), T_MSG_OK);
}

}  // namespace
}  // namespace tarvel::testing
