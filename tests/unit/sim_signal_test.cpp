// SDK signals: pending raises, time-outs, cancels, queue clears and frees,
// on one thread and across threads.
#include <atomic>
#include <thread>

#include "sim_fixture.hpp"

namespace bfsim_test {
namespace {

constexpr uint32_t kFrameDone = 4;
constexpr uint32_t kExposure = 5;

class SimSignals : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    board_ = Open();
    ASSERT_EQ(CiSignalCreate(board_, kFrameDone, &signal_), BF_OK);
  }
  uint32_t Wait(uint32_t timeout_ms = 0) {
    return CiSignalWait(board_, &signal_, timeout_ms, &pending_);
  }

  Bd board_ = nullptr;
  CiSIGNAL signal_{};
  uint32_t pending_ = 99;
};

TEST_F(SimSignals, RaisesArePendingUntilWaitedFor) {
  EXPECT_EQ(signal_.type, kFrameDone);
  EXPECT_EQ(Wait(), BF_WAIT_TIMEOUT);
  EXPECT_EQ(pending_, 0u);
  EXPECT_EQ(bfsim::RaiseSignal(0, kFrameDone), 1u);
  EXPECT_EQ(bfsim::RaiseSignal(0, kFrameDone), 1u);
  EXPECT_EQ(Wait(), BF_OK);
  EXPECT_EQ(pending_, 1u);
  EXPECT_EQ(Wait(1), BF_OK);
  EXPECT_EQ(pending_, 0u);
  EXPECT_EQ(Wait(1), BF_WAIT_TIMEOUT);
  EXPECT_EQ(CiSignalWait(board_, &signal_, 0, nullptr), BF_WAIT_TIMEOUT);
}

TEST_F(SimSignals, RaiseReachesOnlySignalsOfItsTypeAndBoard) {
  CiSIGNAL exposure{};
  ASSERT_EQ(CiSignalCreate(board_, kExposure, &exposure), BF_OK);
  EXPECT_EQ(bfsim::LiveSignals(0), 2u);
  EXPECT_EQ(bfsim::RaiseSignal(0, kExposure), 1u);
  EXPECT_EQ(bfsim::RaiseSignal(0, 2), 0u);
  EXPECT_EQ(bfsim::RaiseSignal(1, kFrameDone), 0u);
  EXPECT_EQ(Wait(), BF_WAIT_TIMEOUT);
  EXPECT_EQ(CiSignalWait(board_, &exposure, 0, nullptr), BF_OK);
}

TEST_F(SimSignals, CancelEndsExactlyOneWait) {
  ASSERT_EQ(bfsim::RaiseSignal(0, kFrameDone), 1u);
  EXPECT_EQ(CiSignalCancel(board_, &signal_), BF_OK);
  EXPECT_EQ(CiSignalCancel(board_, &signal_), BF_OK);  // tokens do not add up
  EXPECT_EQ(Wait(BF_WAIT_FOREVER), BF_WAIT_CANCEL);    // before the pending raise
  EXPECT_EQ(pending_, 1u);
  EXPECT_EQ(Wait(BF_WAIT_FOREVER), BF_OK);
  EXPECT_EQ(Wait(), BF_WAIT_TIMEOUT);
}

TEST_F(SimSignals, QueueClearDropsRaisesAndCancel) {
  bfsim::RaiseSignal(0, kFrameDone);
  bfsim::RaiseSignal(0, kFrameDone);
  ASSERT_EQ(CiSignalCancel(board_, &signal_), BF_OK);
  EXPECT_EQ(CiSignalQueueClear(board_, &signal_), BF_OK);
  EXPECT_EQ(Wait(), BF_WAIT_TIMEOUT);
  EXPECT_EQ(pending_, 0u);
  bfsim::RaiseSignal(0, kFrameDone);
  EXPECT_EQ(Wait(), BF_OK);
}

TEST_F(SimSignals, FreedSignalsRefuseEveryCall) {
  CiSIGNAL copy = signal_;
  EXPECT_EQ(CiSignalFree(board_, &signal_), BF_OK);
  EXPECT_EQ(bfsim::LiveSignals(0), 0u);
  EXPECT_EQ(bfsim::RaiseSignal(0, kFrameDone), 0u);
  EXPECT_EQ(Wait(), BF_ERR_SIGNAL);
  EXPECT_EQ(CiSignalWait(board_, &copy, 0, nullptr), BF_ERR_SIGNAL);
  EXPECT_EQ(CiSignalCancel(board_, &copy), BF_ERR_SIGNAL);
  EXPECT_EQ(CiSignalQueueClear(board_, &copy), BF_ERR_SIGNAL);
  EXPECT_EQ(CiSignalFree(board_, &copy), BF_ERR_SIGNAL);
  EXPECT_EQ(CiSignalFree(board_, &signal_), BF_ERR_SIGNAL);
  EXPECT_EQ(CiSignalWait(board_, nullptr, 0, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiSignalCreate(board_, kFrameDone, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiSignalCreate(nullptr, kFrameDone, &signal_), BF_ERR_BAD_ARG);
}

TEST_F(SimSignals, ClosingTheBoardFreesItsSignals) {
  Bd other = Open();  // a second handle keeps the board open
  EXPECT_EQ(CiBrdClose(board_), BF_OK);
  EXPECT_EQ(bfsim::LiveSignals(0), 1u);
  EXPECT_EQ(CiSignalWait(other, &signal_, 0, nullptr), BF_WAIT_TIMEOUT);
  EXPECT_EQ(Wait(), BF_ERR_BAD_ARG);  // through the closed handle
  EXPECT_EQ(CiBrdClose(other), BF_OK);
  EXPECT_EQ(bfsim::LiveSignals(0), 0u);
}

TEST_F(SimSignals, SignalsBelongToTheirBoard) {
  Load("family=R64 model=A\nfamily=R64 model=B\n");
  Bd a = Open(CISYS_TYPE_R64, 0);
  Bd b = Open(CISYS_TYPE_R64, 1);
  CiSIGNAL on_a{};
  ASSERT_EQ(CiSignalCreate(a, kFrameDone, &on_a), BF_OK);
  EXPECT_EQ(CiSignalWait(b, &on_a, 0, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdAqSigSetCur(b, &on_a, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdAqSigSetCur(a, &on_a, 0), BF_OK);
  EXPECT_EQ(CiBrdAqTimeoutSet(a, 250), BF_OK);
  EXPECT_EQ(CiBrdAqTimeoutSet(board_, 250), BF_ERR_BAD_ARG);  // replaced system
}

TEST_F(SimSignals, ExtendedWaitReportsEachRaiseInOrder) {
  bfsim::RaiseSignal(0, kFrameDone, 480, 0x100000000ull);
  bfsim::RaiseSignal(0, kFrameDone, 17, 0x200000000ull);
  CiSIGNAL_INFO info{};
  info.reserved[0] = 0xDEAD;
  uint32_t pending = 0;
  EXPECT_EQ(CiSignalWaitEx(board_, &signal_, 0, &pending, &info), BF_OK);
  EXPECT_EQ(info.line_count, 480u);
  EXPECT_EQ(info.time_stamp, 0x100000000ull);
  EXPECT_EQ(info.reserved[0], 0u);
  EXPECT_EQ(pending, 1u);
  EXPECT_EQ(CiSignalWaitEx(board_, &signal_, 0, &pending, &info), BF_OK);
  EXPECT_EQ(info.line_count, 17u);
  EXPECT_EQ(info.time_stamp, 0x200000000ull);
  EXPECT_EQ(CiSignalWaitEx(board_, &signal_, 0, &pending, nullptr), BF_ERR_BAD_ARG);

  // Without explicit values a raise carries its own monotonic time.
  bfsim::RaiseSignal(0, kFrameDone);
  bfsim::RaiseSignal(0, kFrameDone);
  CiSIGNAL_INFO later{};
  ASSERT_EQ(CiSignalWaitEx(board_, &signal_, 0, &pending, &info), BF_OK);
  ASSERT_EQ(CiSignalWaitEx(board_, &signal_, 0, &pending, &later), BF_OK);
  EXPECT_GT(info.time_stamp, 0u);
  EXPECT_GE(later.time_stamp, info.time_stamp);
}

// ---- across threads ----------------------------------------------------------

using ThreadedSimSignals = SimSignals;

// Blocks until a thread is really waiting on one of board 0's signals.
void AwaitBlockedWaiter() {
  while (bfsim::BlockedWaiters(0) == 0) std::this_thread::yield();
}

TEST_F(ThreadedSimSignals, CancelWakesAWaiterOnAnotherThread) {
  std::atomic<uint32_t> result{0};
  std::thread waiter([&] { result = CiSignalWait(board_, &signal_, BF_WAIT_FOREVER, nullptr); });
  AwaitBlockedWaiter();
  EXPECT_EQ(CiSignalCancel(board_, &signal_), BF_OK);
  waiter.join();
  EXPECT_EQ(result.load(), BF_WAIT_CANCEL);
  EXPECT_EQ(Wait(), BF_WAIT_TIMEOUT);  // the cancel was used up
}

TEST_F(ThreadedSimSignals, RaiseWakesAWaiterOnAnotherThread) {
  CiSIGNAL_INFO info{};
  std::atomic<uint32_t> result{0};
  std::thread waiter(
      [&] { result = CiSignalWaitEx(board_, &signal_, BF_WAIT_FOREVER, nullptr, &info); });
  AwaitBlockedWaiter();
  EXPECT_EQ(bfsim::RaiseSignal(0, kFrameDone, 12, 34), 1u);
  waiter.join();
  EXPECT_EQ(result.load(), BF_OK);
  EXPECT_EQ(info.line_count, 12u);
  EXPECT_EQ(info.time_stamp, 34u);
}

TEST_F(ThreadedSimSignals, FreeWakesAWaiterAsCancelled) {
  std::atomic<uint32_t> result{0};
  std::thread waiter([&] { result = CiSignalWait(board_, &signal_, BF_WAIT_FOREVER, nullptr); });
  AwaitBlockedWaiter();
  EXPECT_EQ(CiSignalFree(board_, &signal_), BF_OK);
  waiter.join();
  EXPECT_EQ(result.load(), BF_WAIT_CANCEL);
  EXPECT_EQ(Wait(), BF_ERR_SIGNAL);
}

TEST_F(ThreadedSimSignals, ResetWakesEveryWaiter) {
  std::atomic<uint32_t> first{0}, second{0};
  std::thread a([&] { first = CiSignalWait(board_, &signal_, BF_WAIT_FOREVER, nullptr); });
  std::thread b([&] { second = CiSignalWait(board_, &signal_, BF_WAIT_FOREVER, nullptr); });
  while (bfsim::BlockedWaiters(0) < 2) std::this_thread::yield();
  bfsim::Reset();
  a.join();
  b.join();
  EXPECT_EQ(first.load(), BF_WAIT_CANCEL);
  EXPECT_EQ(second.load(), BF_WAIT_CANCEL);
}

}  // namespace
}  // namespace bfsim_test
