// The free-running clock and frames across threads: frames without manual
// steps, prompt stops, a waiting snap released from another thread, and QTabs
// freed while the clock writes.
#include <chrono>
#include <fstream>
#include <thread>

#include "sim_acq_fixture.hpp"
#include "support/threads.hpp"

namespace bfsim_test {
namespace {

constexpr uint32_t kBound = 5000;  // ms; only a broken simulator waits this long

using grabline::testing::ProcessThreads;
using grabline::testing::ThreadsBackTo;

// A joined thread may still be counted for a moment until the kernel reaps it.
class ThreadedSimClock : public SimAcqTest {
 protected:
  // Board 0 with gray8 on the automatic clock, a ring, and a frame signal.
  Bd StartFreeRunning(uint32_t buffers = 2) {
    threads_ = ProcessThreads();
    bfsim::SetManualClock(0, false);
    Bd board = OpenCamera(ShippedCamera("gray8.cam"));
    frame_done_ = Signal(board, 4);
    BuildRing(board, buffers);
    EXPECT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
    return board;
  }
  // Nothing arrives any more: the queue stays empty for a while.
  void ExpectNoMoreFrames(Bd board) {
    CiSignalQueueClear(board, &frame_done_);
    const uint64_t frames = bfsim::FramesProduced(0);
    EXPECT_EQ(CiSignalWait(board, &frame_done_, 50, nullptr), BF_WAIT_TIMEOUT);
    EXPECT_EQ(bfsim::FramesProduced(0), frames);
  }
  int threads_ = 0;
  CiSIGNAL frame_done_{};
};

TEST_F(ThreadedSimClock, AFreeRunningCameraDeliversWithoutSteps) {
  Bd board = StartFreeRunning();
  for (int i = 0; i < 3; ++i) {
    CiSIGNAL_INFO info{};
    ASSERT_EQ(CiSignalWaitEx(board, &frame_done_, kBound, nullptr, &info), BF_OK);
    EXPECT_EQ(info.line_count, 48u);
  }
  EXPECT_GE(bfsim::FramesProduced(0), 3u);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_ABORT, 0), BF_OK);
  ExpectNoMoreFrames(board);

  // A snap on the clock takes one frame and stops.
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
  ASSERT_EQ(CiSignalWait(board, &frame_done_, kBound, nullptr), BF_OK);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->armed);
  ExpectNoMoreFrames(board);
}

TEST_F(ThreadedSimClock, TheClockStopsOnShutdownManualCloseAndReset) {
  Bd board = StartFreeRunning();
  ASSERT_EQ(CiSignalWait(board, &frame_done_, kBound, nullptr), BF_OK);
  ASSERT_EQ(CiShutdown(board, 0), BF_OK);
  ExpectNoMoreFrames(board);

  ASSERT_EQ(CiConDMACommand(board, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(CiSignalWait(board, &frame_done_, kBound, nullptr), BF_OK);
  bfsim::SetManualClock(0, true);
  ExpectNoMoreFrames(board);
  bfsim::SetManualClock(0, false);
  ASSERT_EQ(CiSignalWait(board, &frame_done_, kBound, nullptr), BF_OK);

  EXPECT_GT(ProcessThreads(), threads_);
  ASSERT_EQ(CiBrdClose(board), BF_OK);
  EXPECT_TRUE(ThreadsBackTo(threads_));

  board = StartFreeRunning();
  ASSERT_EQ(CiSignalWait(board, &frame_done_, kBound, nullptr), BF_OK);
  bfsim::Reset();
  EXPECT_TRUE(ThreadsBackTo(threads_));
  EXPECT_EQ(bfsim::FramesProduced(0), 0u);
}

TEST_F(ThreadedSimClock, AWaitingSnapIsReleasedByADeliveredFrame) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  CiSIGNAL grab = Signal(board, 4);
  BuildRing(board, 2);
  BFRC result = 0;
  std::thread snap([&] {
    CiConAqCommand(board, BF_CONAQ_SNAP, 0);
    result = CiSignalWait(board, &grab, kBound, nullptr);
  });
  ASSERT_TRUE(bfsim::WaitArmed(0, kBound));
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  snap.join();
  EXPECT_EQ(result, BF_OK);
  EXPECT_FALSE(bfsim::WaitArmed(0, 0));
}

// A fast camera's frames reach the board in batches, but each still fills
// the next QTab and raises its own signal, stamped with the time it was due:
// stamps rise by whole frame periods (more than one only where a held-up
// clock dropped frames), and nothing is raised that was not produced.
TEST_F(ThreadedSimClock, FramesDueTogetherKeepTheirOwnSignalsAndTimes) {
  bfsim::SetManualClock(0, false);
  Bd board =
      OpenCamera(TempCamera("sim_fast.cam", "width=64\nheight=48\ndepth=8\nframe_rate=20000\n"));
  CiSIGNAL frame_done = Signal(board, 4);
  BuildRing(board, 4);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  constexpr uint64_t kPeriodUs = 50;
  std::vector<uint64_t> stamps;
  for (int i = 0; i < 200; ++i) {
    CiSIGNAL_INFO info{};
    ASSERT_EQ(CiSignalWaitEx(board, &frame_done, kBound, nullptr, &info), BF_OK);
    ASSERT_EQ(info.line_count, 48u);
    stamps.push_back(info.time_stamp);
  }
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_ABORT, 0), BF_OK);
  for (size_t i = 1; i < stamps.size(); ++i) {
    ASSERT_GT(stamps[i], stamps[i - 1]) << i;
    ASSERT_EQ((stamps[i] - stamps[i - 1]) % kPeriodUs, 0u) << i;
  }
  const uint64_t produced = bfsim::FramesProduced(0);
  EXPECT_EQ(stamps.size() + Drain(board, frame_done), produced);
  EXPECT_EQ(bfsim::AcquisitionState(0)->chain_position, produced % 4);
}

// The frame that ends a snap ends the batch it came in.
TEST_F(ThreadedSimClock, ASnapOnAFastCameraTakesOneFrame) {
  bfsim::SetManualClock(0, false);
  Bd board = OpenCamera(
      TempCamera("sim_fastest.cam", "width=64\nheight=48\ndepth=8\nframe_rate=100000\n"));
  frame_done_ = Signal(board, 4);
  BuildRing(board, 4);
  for (int i = 0; i < 3; ++i) {
    const uint64_t before = bfsim::FramesProduced(0);
    ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
    ASSERT_EQ(CiSignalWait(board, &frame_done_, kBound, nullptr), BF_OK);
    EXPECT_FALSE(bfsim::AcquisitionState(0)->armed);
    EXPECT_EQ(bfsim::FramesProduced(0), before + 1);
    EXPECT_EQ(Drain(board, frame_done_), 0u);
  }
  ExpectNoMoreFrames(board);
}

// The clock writes as fast as it can while rings come and go under it:
// whatever a free released is never written (ASan), and the books of the
// two threads never race (TSan).
TEST_F(ThreadedSimClock, RingsFreedUnderARunningClockAreNotWritten) {
  bfsim::SetManualClock(0, false);
  Bd board =
      OpenCamera(TempCamera("sim_fast.cam", "width=64\nheight=48\ndepth=8\nframe_rate=100000\n"));
  CiSIGNAL frame_done = Signal(board, 4);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  CiCam camera = Camera(board);
  for (int round = 0; round < 100; ++round) {
    constexpr uint32_t kSize = 64 * 48;
    std::vector<std::unique_ptr<uint8_t[]>> buffers;
    RQTabHeadRec records[3] = {};
    RQTabHeadPtr list[3] = {&records[0], &records[1], &records[2]};
    for (RQTabHeadPtr qtab : list) {
      buffers.push_back(std::make_unique<uint8_t[]>(kSize));
      ASSERT_EQ(
          CiRelQTabCreate(board, camera, buffers.back().get(), kSize, 64, qtab, 3, 0, 1, 2, 0),
          BF_OK);
      ASSERT_EQ(CiPhysQTabCreate(board, qtab, 0), BF_OK);
    }
    ASSERT_EQ(CiPhysQTabChainLink(board, list, 3), BF_OK);
    ASSERT_EQ(CiPhysQTabChainEngage(board, list, 0), BF_OK);
    ASSERT_EQ(CiConDMACommand(board, BF_DMA_START, 1, 0, 0), BF_OK);
    CiSignalQueueClear(board, &frame_done);
    ASSERT_EQ(CiSignalWait(board, &frame_done, kBound, nullptr), BF_OK);
    for (RQTabHeadPtr qtab : list) {
      ASSERT_EQ(CiPhysQTabFree(board, qtab), BF_OK);
      ASSERT_EQ(CiRelQTabFree(board, qtab), BF_OK);
    }
    buffers.clear();
  }
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
  EXPECT_TRUE(bfsim::AcquisitionState(0)->armed);  // still armed, with nowhere to write
}

}  // namespace
}  // namespace bfsim_test
