// FGClose: what an instance leaves behind, and opening again.
#include <gtest/gtest.h>

#include <map>

#include "support/call_log.hpp"
#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::GrabDelivered;
using testing::PluginTest;

class Closing : public PluginTest {};

TEST_F(Closing, ThreadedOpenGrabCloseRepeats) {
  for (int round = 0; round < 3; ++round) {
    tarvel::Instance *instance = OpenOk("gray8.cam");
    ASSERT_NE(instance, nullptr);
    bfsim::SetManualClock(0, true);
    std::vector<tarvel::Image> images;
    ASSERT_EQ(GrabDelivered(instance, &images), kOk);
    images.clear();
    ASSERT_EQ(Close(instance), kOk);
    EXPECT_FALSE(bfsim::Boards()[0].open);
    EXPECT_EQ(bfsim::LiveSignals(0), 0u);
    EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
    EXPECT_EQ(plugin_->fg_class().instances_num, 0);
  }
}

// Across threads: the worker has made its last call before the ring goes,
// the frame-done thread's signals are freed before the exposure-done thread
// is woken, and no thread is in a call any more when close returns.
TEST_F(Closing, ThreadedTeardownOrderAcrossThreads) {
  using testing::FirstOf;
  using testing::Named;
  bfsim::RecordCalls(true);
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  bfsim::SetManualClock(0, true);
  // Open makes the ring's acquisition signal, then the frame-done,
  // exposure-done, grab and exposure signals.
  const std::vector<std::string> signals = testing::CreatedSignals(bfsim::Calls());
  ASSERT_EQ(signals.size(), 5u);
  const std::string &frame_done = signals[1], &exposure_done = signals[2], &grab = signals[3],
                    &exposure = signals[4];
  ASSERT_EQ(instance->SetParam("continuous_grabbing", tarvel::Value::Str("enable")), kOk);
  const std::optional<bfsim::Call> wait =
      bfsim::WaitForCall({.function = testing::kWorkerWait, .record = signals[0]}, 5000);
  ASSERT_TRUE(wait.has_value());
  ASSERT_EQ(Close(instance), kOk);

  const std::vector<bfsim::Call> log = bfsim::TakeCalls();
  for (const bfsim::Call &call : log) {
    EXPECT_TRUE(call.returned) << call.function << " on thread " << call.thread;
  }
  const uint64_t worker_last = testing::LastOf(log, testing::OnThread(wait->thread));
  EXPECT_LT(worker_last, FirstOf(log, Named("CiPhysQTabFree")));
  EXPECT_EQ(FirstOf(log, [&](const bfsim::Call &c) {
              return c.sequence == worker_last && c.function == "CiAqCommand";
            }),
            worker_last)
      << "the worker ends by stopping the acquisition";
  const uint64_t woken = FirstOf(log, Named("CiSignalCancel", exposure_done));
  EXPECT_LT(FirstOf(log, Named("CiSignalCancel", frame_done)), FirstOf(log, Named("CiSignalCancel", grab)));
  for (const std::string &signal : {frame_done, grab, exposure}) {
    EXPECT_LT(FirstOf(log, Named("CiSignalFree", signal)), woken) << signal;
  }
  EXPECT_LT(woken, FirstOf(log, Named("CiSignalFree", exposure_done)));
}

// A host that hands out the block and still answers an error, at each
// allocation of an open: whatever the open makes of it, nothing stays on the
// books once the instance (if any) is closed.
TEST_F(Closing, AnAllocationRefusedWithItsBlockHandedOutIsGivenBack) {
  const uint64_t before = tarvel::AllocationCalls();
  ASSERT_EQ(Close(OpenOk("gray8.cam")), kOk);
  const auto points = static_cast<uint32_t>(tarvel::AllocationCalls() - before);
  ASSERT_GT(points, 0u);
  for (uint32_t n = 1; n <= points; ++n) {
    tarvel::FailAllocationFilled(n, T_ERR_MEM);
    Terr code = 0;
    tarvel::Instance *instance = Open(Params("gray8.cam"), &code);
    tarvel::ClearInjections();
    if (instance != nullptr) {
      EXPECT_EQ(Close(instance), kOk) << "allocation " << n;
    } else {
      EXPECT_EQ(code, T_ERR_MEM) << "allocation " << n;
    }
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_) << "allocation " << n;
  }
}

TEST_F(Closing, VolatileRingIsHandedBackAndFreed) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("volatile", tarvel::Value::Str("enable")), kOk);
  ASSERT_EQ(instance->SetParam("num_buffers", tarvel::Value::Int(4)), kOk);
  ASSERT_EQ(Close(instance), kOk);
  EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
}

TEST_F(Closing, SecondInstanceOnAnotherPortKeepsTheBoardOpen) {
  tarvel::Instance *first = OpenOk();
  auto params = Params();
  params.device = "R64:0";  // the same board by another name
  params.port = 1;
  tarvel::Instance *second = Open(params);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(Close(first), kOk);
  EXPECT_TRUE(bfsim::Boards()[0].open);
  std::vector<tarvel::Image> images;
  bfsim::SetManualClock(0, true);
  EXPECT_EQ(GrabDelivered(second, &images), kOk);
}

// Every SDK call that an open makes, failed in turn: the open either
// succeeds (its result was not needed) or fails with nothing left behind.
TEST_F(Closing, ThreadedAnInjectedFailureAtEachOpenCallLeavesNothing) {
  bfsim::RecordCalls(true);
  ASSERT_NE(OpenOk(), nullptr);
  const std::vector<std::string> calls = bfsim::TakeCallNames();
  ASSERT_EQ(Close(instances_.back().get()), kOk);
  std::map<std::string, uint32_t> seen;
  int failures = 0;
  for (const std::string &name : calls) {
    const uint32_t nth = ++seen[name];
    bfsim::Reset();
    bfsim::FailCall(name, nth, 0x10000002u);
    Terr code = 0;
    tarvel::Instance *instance = Open(Params(), &code);
    if (instance == nullptr) {
      ++failures;
      EXPECT_NE(code, kOk);
      EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_) << name << " #" << nth;
      EXPECT_EQ(bfsim::LiveQTabs(0), 0u) << name << " #" << nth;
      EXPECT_FALSE(bfsim::Boards()[0].open) << name << " #" << nth;
    } else {
      EXPECT_EQ(Close(instance), kOk);
    }
  }
  EXPECT_GT(failures, 10);
}

}  // namespace
}  // namespace grabline
