// The camera port and the acquisition region, changed under an open instance.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::GrabDelivered;
using testing::PluginTest;
using tarvel::Value;

class RegionAndPort : public PluginTest {};

TEST_F(RegionAndPort, ANewRegionGivesImagesOfItsSize) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->SetParam("image_width", Value::Int(32)), kOk);
  bfsim::RecordCalls(false);
  // The old ring and its signal are gone before the window moves.
  std::vector<std::string> teardown;
  for (std::string &name : bfsim::TakeCallNames()) {
    if (name == "CiSignalCancel" || name == "CiSignalFree" || name == "CiPhysQTabFree" ||
        name == "CiRelQTabFree" || name == "CiAqROISet" || name == "CiSignalCreate") {
      teardown.push_back(std::move(name));
    }
  }
  EXPECT_EQ(teardown, (std::vector<std::string>{"CiSignalCancel", "CiSignalFree", "CiPhysQTabFree",
                                                "CiRelQTabFree", "CiPhysQTabFree", "CiRelQTabFree",
                                                "CiAqROISet", "CiSignalCreate"}));
  ASSERT_EQ(instance->SetParam("start_column", Value::Int(8)), kOk);
  EXPECT_EQ(instance->record().image_width, 32);
  bfsim::SetManualClock(0, true);
  const uint64_t frame = bfsim::FramesProduced(0);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width(), 32);
  EXPECT_EQ(images[0].height(), 48);
  // The window starts at column 8 of the camera's picture.
  EXPECT_EQ(static_cast<uint64_t>(images[0].at(0, 0)), bfsim::PatternValue(frame, 8, 0, 0, 8));
}

TEST_F(RegionAndPort, ARefusedRegionRestoresTheOldOneAndGrabbingGoesOn) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->SetParam("image_width", Value::Int(30)), FG_ERR_PARAM_VALUE);  // not /4
  EXPECT_EQ(instance->SetParam("image_width", Value::Int(4096)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance->record().image_width, 64);
  EXPECT_EQ(instance->SetParam("image_height", Value::Int(-1)), FG_ERR_BOARD);
  bfsim::SetManualClock(0, true);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  EXPECT_EQ(images.at(0).width(), 64);
}

TEST_F(RegionAndPort, PortSelectsAnotherCameraOfTheBoard) {
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->SetParam("port", Value::Int(1)), kOk);
  EXPECT_EQ(instance->record().port, 1);
  EXPECT_EQ(instance->SetParam("port", Value::Int(-1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance->SetParam("port", Value::Int(9)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance->SetParam("port", Value::Str("1")), FG_ERR_PARAM_TYPE);
  tarvel::SetLowError(true);
  EXPECT_EQ(instance->SetParam("port", Value::Int(2147483648LL)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(tarvel::PrintedMessages(),
            std::vector<std::string>{"Value must be less than 0x7fffffff."});
  std::vector<Value> values;
  EXPECT_EQ(instance->GetParam("port", &values), FG_ERR_UNSUPPORTED);
}

TEST_F(RegionAndPort, ThreadedAbortReleasesAContinuousGrab) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  bfsim::SetManualClock(0, true);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(20000)), kOk);
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  Terr result = 0;
  std::vector<tarvel::Image> images;
  std::thread grab([&] { result = instance->Grab(&images); });
  // Whenever the abort comes, before or during the wait, the grab returns.
  ASSERT_EQ(instance->SetParam("do_abort_grab", std::vector<Value>{}), kOk);
  grab.join();
  EXPECT_EQ(result, kOk);
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
}

TEST_F(RegionAndPort, ThreadedParametersChangeWhileAnotherThreadGrabs) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  bfsim::SetManualClock(0, true);
  ASSERT_EQ(instance->SetParam("num_buffers", Value::Int(8)), kOk);
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  ASSERT_TRUE(bfsim::WaitArmed(0, 5000));  // the worker starts the acquisition
  constexpr int kFrames = 200;
  std::thread grabber([&] {
    for (int i = 0; i < kFrames; ++i) {
      std::vector<tarvel::Image> images;
      ASSERT_EQ(instance->Grab(&images), kOk) << "frame " << i;
    }
  });
  auto get = [&](const char *name) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam(name, &values), kOk);
    return values.empty() ? int64_t{0} : values[0].i;
  };
  for (int i = 0; i < kFrames; ++i) {
    // Frames come only while the application has room, as a camera slower
    // than the application would deliver them: the board never writes a
    // buffer the application still reads.
    for (int wait = 0; wait < 5000; ++wait) {
      if (get("next_buffer_acquired_abs") - get("next_buffer_returned_abs") < 3) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
    EXPECT_EQ(instance->SetParam("debug_output", Value::Str(i % 2 ? "true" : "false")), kOk);
    get("num_buffers_overwritten");
  }
  grabber.join();
  EXPECT_EQ(get("num_buffers_overwritten"), 0);
}

}  // namespace
}  // namespace grabline
