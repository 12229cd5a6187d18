// Snap and asynchronous grabs: time-outs, resnap, aborts, maximum age.
#include <gtest/gtest.h>

#include <thread>

#include "support/call_log.hpp"
#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::GrabDelivered;
using testing::PluginTest;

class Snap : public PluginTest {
 protected:
  tarvel::Instance *OpenManual(const std::string &camera = "gray8.cam") {
    tarvel::Instance *instance = OpenOk(camera);
    bfsim::SetManualClock(0, true);
    return instance;
  }
  static int SnapCommands(const std::vector<bfsim::Call> &calls) {
    int n = 0;
    for (const auto &call : calls) {
      if (call.function == "CiConAqCommand" && call.args.at(0) == BF_CONAQ_SNAP) ++n;
      if (call.function == "CiAqCommand" && call.args.at(0) == BF_AQ_SNAP) ++n;
    }
    return n;
  }
};

TEST_F(Snap, TimeOutThenTheNextGrabWorks) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("grab_timeout", tarvel::Value::Int(100)), kOk);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), FG_ERR_TIMEOUT);
  EXPECT_TRUE(images.empty());
  EXPECT_EQ(GrabDelivered(instance, &images), kOk);
  EXPECT_EQ(images.size(), 1u);
}

TEST_F(Snap, ResnapTriesOneMoreSnapBeforeTheTimeOut) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("grab_timeout", tarvel::Value::Int(50)), kOk);
  ASSERT_EQ(instance->SetParam("resnap", tarvel::Value::Str("TRUE")), kOk);
  bfsim::RecordCalls(true);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), FG_ERR_TIMEOUT);
  EXPECT_EQ(SnapCommands(bfsim::TakeCalls()), 2);
}

TEST_F(Snap, LastLinesToGoIsReadOnce) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("grab_timeout", tarvel::Value::Int(20)), kOk);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(instance->Grab(&images), FG_ERR_TIMEOUT);
  std::vector<tarvel::Value> first, second;
  ASSERT_EQ(instance->GetParam("last_lines_to_go", &first), kOk);
  ASSERT_EQ(instance->GetParam("last_lines_to_go", &second), kOk);
  EXPECT_NE(first.at(0).i, -1);
  EXPECT_EQ(second.at(0).i, -1);
}

TEST_F(Snap, ThreadedAbortReleasesAWaitingGrab) {
  bfsim::RecordCalls(true);
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  // Open makes the grab signal fourth (after the ring's, the frame-done and
  // the exposure-done signals).
  const std::string grab_signal = testing::CreatedSignals(bfsim::Calls()).at(3);
  ASSERT_EQ(instance->SetParam("grab_timeout", tarvel::Value::Int(20000)), kOk);
  Terr result = 0;
  std::vector<tarvel::Image> images;
  const uint64_t before = bfsim::TotalCallCount();
  std::thread grab([&] { result = instance->Grab(&images); });
  // The abort comes while the grab is really in its wait.
  const std::optional<bfsim::Call> wait = bfsim::WaitForCall(
      {.function = "CiSignalWait", .record = grab_signal, .after = before}, 5000);
  ASSERT_TRUE(wait.has_value());
  ASSERT_EQ(instance->SetParam("do_abort_grab", std::vector<tarvel::Value>{}), kOk);
  grab.join();
  EXPECT_EQ(result, kOk);
  const std::optional<bfsim::Call> woken = bfsim::WaitForReturn(wait->sequence, 0);
  ASSERT_TRUE(woken.has_value());
  EXPECT_EQ(woken->result, uint32_t{BF_WAIT_CANCEL});
  const std::vector<bfsim::Call> cancels =
      bfsim::Calls({.function = "CiSignalCancel", .record = grab_signal, .after = wait->sequence});
  ASSERT_FALSE(cancels.empty());
  EXPECT_EQ(cancels[0].thread, bfsim::ThisThreadId());
  bfsim::RecordCalls(false);
  // The board was re-armed: the next grab gets a frame.
  EXPECT_EQ(GrabDelivered(instance, &images), kOk);
}

TEST_F(Snap, GrabStartTwiceAbortsTheFirstSnap) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->GrabStart(1000), kOk);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->GrabStart(1000), kOk);
  std::vector<std::string> names = bfsim::TakeCallNames();
  auto at = [&](const std::string &name) {
    return std::find(names.begin(), names.end(), name) - names.begin();
  };
  EXPECT_LT(at("CiConDMACommand"), at("CiAqCommand"));  // abort before the new start
  EXPECT_LT(at("CiShutdown"), at("CiAqCommand"));        // and re-armed
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->GrabAsync(10000, &images), kOk);
}

TEST_F(Snap, GrabAsyncWithinTheMaximumAgeTakesTheStartedFrame) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("start_async_after_grab_async", tarvel::Value::Str("disable")), kOk);
  ASSERT_EQ(instance->GrabStart(10000), kOk);
  const uint64_t frame = bfsim::FramesProduced(0);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  bfsim::RecordCalls(true);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(instance->GrabAsync(10000, &images), kOk);
  EXPECT_EQ(SnapCommands(bfsim::TakeCalls()), 0);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(static_cast<uint64_t>(images[0].at(0, 0)), bfsim::PatternValue(frame, 0, 0, 0, 8));
}

TEST_F(Snap, GrabAsyncBeyondTheMaximumAgeTakesAFreshFrame) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("start_async_after_grab_async", tarvel::Value::Str("disable")), kOk);
  ASSERT_EQ(instance->GrabStart(0), kOk);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the frame ages past 0 ms
  bfsim::RecordCalls(true);
  Terr result = 0;
  std::vector<tarvel::Image> images;
  std::thread grab([&] { result = instance->GrabAsync(0, &images); });
  ASSERT_TRUE(bfsim::WaitArmed(0, 5000));
  const uint64_t frame = bfsim::FramesProduced(0);
  bfsim::DeliverFrames(0, 1);
  grab.join();
  ASSERT_EQ(result, kOk);
  EXPECT_EQ(SnapCommands(bfsim::TakeCalls()), 1);
  EXPECT_EQ(static_cast<uint64_t>(images.at(0).at(0, 0)), bfsim::PatternValue(frame, 0, 0, 0, 8));
}

}  // namespace
}  // namespace grabline
