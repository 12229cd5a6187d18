// FGClose: what an instance leaves behind, and opening again.
#include <gtest/gtest.h>

#include <map>

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
