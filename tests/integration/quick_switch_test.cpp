// Quick Switch region mode through the host: regions alternating frame by
// frame, the parameter checks, set-up failures that must leave nothing
// behind, and the flag-only mode of the standard build.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::GrabDelivered;
using testing::PluginTest;

class QuickSwitch : public PluginTest {
 protected:
  // An instance on the manual clock, volatile, with the two default regions
  // described (unless the test describes its own).
  tarvel::Instance *OpenQs(const std::string &camera_path = "", bool describe = true) {
    tarvel::Plugin::OpenParams params = Params("gray8.cam");  // 64 x 48, 8 bits
    if (!camera_path.empty()) params.camera_type = camera_path;
    Terr code = 0;
    tarvel::Instance *instance = Open(params, &code);
    EXPECT_EQ(code, kOk);
    if (instance == nullptr) return nullptr;
    bfsim::SetManualClock(0, true);
    EXPECT_EQ(instance->SetParam("volatile", Value::Str("enable")), kOk);
    if (describe) {
      EXPECT_EQ(SetRoi(instance, "roi 0:width 64:height 48"), kOk);
      EXPECT_EQ(SetRoi(instance, "roi 1:width 32:height 8"), kOk);
    }
    return instance;
  }

  static Terr SetRoi(tarvel::Instance *instance, const std::string &text) {
    return instance->SetParam("quick_switch_set_roi", Value::Str(text));
  }
  static Terr Mode(tarvel::Instance *instance, const char *word) {
    return instance->SetParam("quick_switch_mode", Value::Str(word));
  }
  static Terr NextRoi(tarvel::Instance *instance, int64_t roi) {
    return instance->SetParam("quick_switch_next_roi", Value::Int(roi));
  }
  static std::string ModeRead(tarvel::Instance *instance) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam("quick_switch_mode", &values), kOk);
    return values.empty() ? "" : values[0].s;
  }

  // Runs `step` with error texts printed and returns the code and the texts.
  template <typename Step>
  static std::pair<Terr, std::vector<std::string>> Printed(Step &&step) {
    tarvel::SetLowError(true);
    tarvel::ClearLogs();
    const Terr result = step();
    std::vector<std::string> messages = tarvel::PrintedMessages();
    tarvel::SetLowError(false);
    return {result, messages};
  }

  static std::string LargeCamera() {
    const std::string path = ::testing::TempDir() + "quick_switch_1024.cam";
    std::ofstream(path) << "width = 1024\nheight = 1024\ndepth = 8\nframe_rate = 500\n";
    return path;
  }

  // Every pixel of a gray 8-bit image against the pattern of `frame`.
  static void ExpectPattern(const tarvel::Image &image, uint64_t frame) {
    int wrong = 0;
    for (int32_t y = 0; y < image.height() && wrong < 5; ++y) {
      for (int32_t x = 0; x < image.width() && wrong < 5; ++x) {
        const auto expected = static_cast<int64_t>(bfsim::PatternValue(frame, x, y, 0, 8));
        if (image.at(x, y) != expected) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") of frame " << frame;
          ++wrong;
        }
      }
    }
  }

  static bool Full() { return kProfile.has_quick_switch; }
};

// Tests that grab on a second thread or run the continuous-grab worker.
class ThreadedQuickSwitch : public QuickSwitch {};

using Messages = std::vector<std::string>;

TEST_F(QuickSwitch, RegionsAlternateFrameByFrameWithTheirSizesAndPixels) {
  if (!Full()) GTEST_SKIP() << "the standard build keeps the mode as a flag";
  tarvel::Instance *instance = OpenQs(LargeCamera(), false);
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(SetRoi(instance, "roi 0:width 1024:height 1024"), kOk);
  ASSERT_EQ(SetRoi(instance, "roi 1:width 1024:height 64"), kOk);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  EXPECT_EQ(ModeRead(instance), "enable");
  EXPECT_TRUE(bfsim::QuickSwitch(0)->on);

  const void *first_of_region[2] = {nullptr, nullptr};
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    const int roi = k % 2;
    ASSERT_EQ(NextRoi(instance, roi), kOk);
    const uint64_t frame = bfsim::FramesProduced(0);
    std::vector<tarvel::Image> images;
    ASSERT_EQ(instance->Grab(&images), kOk);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].kind(), BYTE_IMAGE);
    EXPECT_EQ(images[0].width(), 1024);
    EXPECT_EQ(images[0].height(), roi == 0 ? 1024 : 64);
    EXPECT_FALSE(images[0].owned());  // laid over the region's buffer
    EXPECT_EQ(reinterpret_cast<uintptr_t>(images[0].data()) % 4096, 0u);
    ExpectPattern(images[0], frame);
    // Each region walks its own ring: a new buffer every frame.
    if (k < 2) {
      first_of_region[roi] = images[0].data();
    } else {
      EXPECT_NE(images[0].data(), first_of_region[roi]);
    }
  }
  EXPECT_NE(first_of_region[0], first_of_region[1]);
  EXPECT_EQ(bfsim::QuickSwitch(0)->frames, 6u);
}

TEST_F(QuickSwitch, GrabStartAndGrabAsyncKeepTheNextFrameInFlight) {
  if (!Full()) GTEST_SKIP() << "the standard build keeps the mode as a flag";
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  ASSERT_EQ(NextRoi(instance, 1), kOk);

  ASSERT_EQ(instance->GrabStart(100), kOk);
  ASSERT_EQ(instance->GrabStart(100), kOk);  // already in flight: no second frame
  EXPECT_EQ(bfsim::QuickSwitch(0)->frames, 1u);

  std::vector<tarvel::Image> images;
  ASSERT_EQ(instance->GrabAsync(100, &images), kOk);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].height(), 8);
  ExpectPattern(images[0], 0);
  EXPECT_EQ(bfsim::QuickSwitch(0)->frames, 2u);  // the next one is already taken

  // The region named now applies to the frame after the one in flight.
  ASSERT_EQ(NextRoi(instance, 0), kOk);
  ASSERT_EQ(instance->GrabAsync(100, &images), kOk);
  EXPECT_EQ(images.at(0).height(), 8);
  ExpectPattern(images[0], 1);
  EXPECT_EQ(bfsim::QuickSwitch(0)->frames, 3u);

  // A plain grab collects the frame in flight without starting another.
  const uint64_t calls = bfsim::CallCount("CiConQSSetNextFrame");
  ASSERT_EQ(instance->Grab(&images), kOk);
  EXPECT_EQ(images.at(0).height(), 48);
  ExpectPattern(images[0], 2);
  EXPECT_EQ(bfsim::CallCount("CiConQSSetNextFrame"), calls);
}

TEST_F(QuickSwitch, GrabsThatCannotDeliverFailWithTheirCodes) {
  if (!Full()) GTEST_SKIP() << "the standard build keeps the mode as a flag";
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("quick_switch_num_rois", Value::Int(3)), kOk);
  ASSERT_EQ(SetRoi(instance, "roi 2:width 16:height 4"), kOk);
  ASSERT_EQ(NextRoi(instance, 2), kOk);  // accepted as a parameter ...
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), FG_ERR_BOARD);  // ... but the board alternates 0 and 1
  EXPECT_EQ(instance->Grab(&images), FG_ERR_BOARD);  // and nothing was left in flight
  EXPECT_EQ(bfsim::QuickSwitch(0)->frames, 0u);
  ASSERT_EQ(NextRoi(instance, 1), kOk);
  EXPECT_EQ(instance->Grab(&images), kOk);

  ASSERT_EQ(instance->SetParam("volatile", Value::Str("disable")), kOk);
  auto [code, messages] = Printed([&] { return instance->Grab(&images); });
  EXPECT_EQ(code, FG_ERR_GRAB);
  EXPECT_EQ(messages, Messages{"Non-volitile mode is not supported in Quick Switch mode"});
  EXPECT_TRUE(images.empty());
}

TEST_F(QuickSwitch, AFailedWaitClearsTheStartedFrameAndKeepsTheBufferIndex) {
  if (!Full()) GTEST_SKIP() << "the standard build keeps the mode as a flag";
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("quick_switch_num_buffers", Value::Int(2)), kOk);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(20)), kOk);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  std::vector<tarvel::Image> first, second, third;
  ASSERT_EQ(instance->Grab(&first), kOk);

  bfsim::SetCameraConnected(0, false);  // the triggered frame never arrives
  ASSERT_EQ(instance->GrabStart(0), kOk);
  std::vector<tarvel::Image> none;
  auto [code, messages] = Printed([&] { return instance->Grab(&none); });
  EXPECT_EQ(code, FG_ERR_GRAB);
  EXPECT_EQ(messages, Messages{"Error waiting for EOF interrupt in Quick Switch mode"});
  bfsim::SetCameraConnected(0, true);

  // The started flag is gone: the next grab programs a fresh frame, into
  // the buffer the failed one was meant for.
  const uint64_t calls = bfsim::CallCount("CiConQSSetNextFrame");
  ASSERT_EQ(instance->Grab(&second), kOk);
  EXPECT_EQ(bfsim::CallCount("CiConQSSetNextFrame"), calls + 1);
  ASSERT_EQ(instance->Grab(&third), kOk);
  EXPECT_NE(second.at(0).data(), first.at(0).data());
  EXPECT_EQ(third.at(0).data(), first.at(0).data());
  ExpectPattern(second[0], 1);
}

TEST_F(QuickSwitch, RegionAndCountParametersAreChecked) {
  tarvel::Instance *instance = OpenQs("", false);
  ASSERT_NE(instance, nullptr);
  auto set = [&](const char *name, const Value &value) { return instance->SetParam(name, value); };
  auto printed = [&](const char *name, const Value &value) {
    return Printed([&] { return set(name, value); });
  };

  EXPECT_EQ(printed("quick_switch_num_rois", Value::Int(8)),
            std::make_pair(FG_ERR_PARAM_VALUE,
                           Messages{"Number of ROIs requested is greater than maximum allowed."}));
  EXPECT_EQ(set("quick_switch_num_rois", Value::Int(0)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_num_rois", Value::Int(-1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_num_rois", Value::Str("2")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(set("quick_switch_num_rois", Value::Int(7)), kOk);

  EXPECT_EQ(set("quick_switch_next_roi", Value::Int(6)), kOk);
  EXPECT_EQ(
      printed("quick_switch_next_roi", Value::Int(7)),
      std::make_pair(FG_ERR_PARAM_VALUE,
                     Messages{"Next ROI requested is greater than number of ROIs available."}));
  EXPECT_EQ(set("quick_switch_next_roi", Value::Int(-1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_next_roi", Value::Double(1)), FG_ERR_PARAM_TYPE);

  EXPECT_EQ(set("quick_switch_num_buffers", Value::Int(0)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_num_buffers", Value::Int(-3)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_num_buffers", Value::Str("4")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(set("quick_switch_num_buffers", Value::Int(4)), kOk);

  // Region texts: all three values, each within 32 bits, nothing empty.
  EXPECT_EQ(SetRoi(instance, "width 640:height 480"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(SetRoi(instance, "roi 1:height 480"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(SetRoi(instance, "roi 1:width 99999999999:height 8"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(SetRoi(instance, "roi 1:width 0:height 8"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(SetRoi(instance, "roi 1:width 16:height -8"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(SetRoi(instance, "roi 1:width 16:height 8:" + std::string(100, 'x')),
            FG_ERR_PARAM_VALUE);
  EXPECT_EQ(SetRoi(instance, "roi 1:width 16:height 8" + std::string(300, ':')),
            FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_set_roi", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Printed([&] { return SetRoi(instance, "roi 7:width 16:height 8"); }),
            std::make_pair(FG_ERR_BOARD, Messages{"Requested ROI Number is greater than the "
                                                  "number of allocated ROIS"}));
  EXPECT_EQ(SetRoi(instance, "roi -1:width 16:height 8"), FG_ERR_BOARD);
  EXPECT_EQ(SetRoi(instance, "::height 8:roi 1::width 16:"), kOk);  // any order, empty tokens

  EXPECT_EQ(Mode(instance, "maybe"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(set("quick_switch_mode", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(ModeRead(instance), "disable");
}

TEST_F(ThreadedQuickSwitch, AbortReleasesAWaitingRegionGrab) {
  if (!Full()) GTEST_SKIP() << "the standard build keeps the mode as a flag";
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(60000)), kOk);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  bfsim::SetCameraConnected(0, false);  // the frame never arrives by itself
  const uint32_t idle_waiters = bfsim::BlockedWaiters(0);
  Terr result = 0;
  std::vector<tarvel::Image> images;
  std::thread grab([&] { result = instance->Grab(&images); });
  while (bfsim::BlockedWaiters(0) == idle_waiters) std::this_thread::yield();
  ASSERT_EQ(instance->SetParam("do_abort_grab", std::vector<Value>{}), kOk);
  grab.join();
  EXPECT_EQ(result, FG_ERR_GRAB);
  EXPECT_TRUE(images.empty());
  // The mode goes on: the next grab takes a fresh frame.
  bfsim::SetCameraConnected(0, true);
  ASSERT_EQ(instance->Grab(&images), kOk);
  EXPECT_EQ(images.at(0).width(), 64);
}

TEST_F(ThreadedQuickSwitch, EnablingIsRefusedWhileContinuousGrabbing) {
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  EXPECT_EQ(Printed([&] { return Mode(instance, "enable"); }),
            std::make_pair(FG_ERR_BOARD, Messages{"Quick Switch mode can not be enabled while in "
                                                  "continuous grabbing mode"}));
  EXPECT_EQ(ModeRead(instance), "disable");
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  EXPECT_EQ(Mode(instance, "enable"), kOk);
}

TEST_F(QuickSwitch, RegionsAndCountsDoNotChangeWhileTheModeIsOn) {
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  ASSERT_EQ(Mode(instance, "ENABLE"), kOk);  // again: no effect
  const std::pair<const char *, const char *> refused[] = {
      {"quick_switch_num_rois", "Number of ROIs can not be changed while in Quick Switch mode"},
      {"quick_switch_num_buffers",
       "Number of Quick Switch buffers can not be changed while in Quick Switch mode"},
  };
  for (const auto &[name, text] : refused) {
    EXPECT_EQ(Printed([&] { return instance->SetParam(name, Value::Int(3)); }),
              std::make_pair(FG_ERR_BOARD, Messages{text}))
        << name;
  }
  EXPECT_EQ(Printed([&] { return SetRoi(instance, "roi 0:width 16:height 8"); }),
            std::make_pair(FG_ERR_BOARD,
                           Messages{"Quick Switch ROIs can not be changed while in Quick Switch "
                                    "mode"}));
  EXPECT_EQ(NextRoi(instance, 1), kOk);  // naming the next region is what the mode is for
}

TEST_F(ThreadedQuickSwitch, DisablingRebuildsTheNormalRingAndTheWindow) {
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  // A window with an offset, which the frame size alone would lose.
  ASSERT_EQ(instance->SetParam("image_width", Value::Int(32)), kOk);
  ASSERT_EQ(instance->SetParam("start_column", Value::Int(16)), kOk);
  const uint32_t qtabs = bfsim::LiveQTabs(0);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(instance->Grab(&images), kOk);
  EXPECT_EQ(images.size(), Full() ? 1u : 0u);
  ASSERT_EQ(Mode(instance, "disable"), kOk);
  ASSERT_EQ(Mode(instance, "disable"), kOk);
  EXPECT_EQ(ModeRead(instance), "disable");
  EXPECT_FALSE(bfsim::QuickSwitch(0)->on);
  EXPECT_EQ(bfsim::LiveQTabs(0), qtabs);

  const bfsim::AcquisitionDesc acq = *bfsim::AcquisitionState(0);
  EXPECT_EQ(acq.column, 16u);
  EXPECT_EQ(acq.width, 32u);
  EXPECT_EQ(acq.height, 48u);
  const uint64_t frame = bfsim::FramesProduced(0);
  ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width(), 32);
  EXPECT_EQ(images[0].at(0, 5), static_cast<int64_t>(bfsim::PatternValue(frame, 16, 5, 0, 8)));
}

TEST_F(QuickSwitch, ClosingInTheModeReleasesEverything) {
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  ASSERT_EQ(instance->GrabStart(0), kOk);  // a frame left in flight
  EXPECT_EQ(Close(instance), kOk);
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
  EXPECT_EQ(bfsim::LiveSignals(0), 0u);
  EXPECT_FALSE(bfsim::QuickSwitch(0)->on);
  // The next instance starts with the mode off and the default counts.
  tarvel::Instance *next = OpenQs("", false);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(ModeRead(next), "disable");
  EXPECT_EQ(next->SetParam("quick_switch_next_roi", Value::Int(2)), FG_ERR_PARAM_VALUE);
}

// Each step of the set-up failing in turn, on the board and in the host's
// allocator: the mode stays off, nothing stays allocated, the board acquires
// into the normal ring as before.
TEST_F(ThreadedQuickSwitch, AFailedSetUpLeavesNothingBehind) {
  if (!Full()) GTEST_SKIP() << "the standard build does no set-up";
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("quick_switch_num_buffers", Value::Int(2)), kOk);
  const size_t allocations = tarvel::OutstandingAllocations();
  const uint32_t qtabs = bfsim::LiveQTabs(0);
  const uint32_t signals = bfsim::LiveSignals(0);
  const bfsim::AcquisitionDesc before = *bfsim::AcquisitionState(0);
  auto expect_as_before = [&](const std::string &what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(ModeRead(instance), "disable");
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations);
    EXPECT_EQ(bfsim::LiveQTabs(0), qtabs);
    EXPECT_EQ(bfsim::LiveSignals(0), signals);
    const bfsim::AcquisitionDesc now = *bfsim::AcquisitionState(0);
    EXPECT_EQ(now.format, before.format);
    EXPECT_EQ(now.width, before.width);
    EXPECT_EQ(now.height, before.height);
    EXPECT_EQ(now.dma_running, before.dma_running);
    EXPECT_EQ(now.chain_length, before.chain_length);
    EXPECT_FALSE(bfsim::QuickSwitch(0)->on);
  };

  const std::pair<const char *, uint32_t> steps[] = {
      {"CiBrdCamGetCur", 1},      {"CiAqFrameSize", 1},   {"CiAqFrameSize", 2},
      {"CiRelQTabCreate", 1},     {"CiRelQTabCreate", 4}, {"CiPhysQTabCreate", 3},
      {"CiPhysQTabChainLink", 2}, {"CiSignalCreate", 1},  {"CiShutdown", 1},
      {"CiConAqMode", 1},         {"BFQSModeSet", 1},
  };
  for (const auto &[function, nth] : steps) {
    bfsim::FailCall(function, nth, BF_ERR_BAD_ARG);
    EXPECT_EQ(Mode(instance, "enable"), FG_ERR_BOARD) << function << " #" << nth;
    bfsim::ClearFaults();
    expect_as_before(std::string(function) + " #" + std::to_string(nth));
  }

  // Two regions of two buffers: four arrays and two buffers each, then the
  // signal record.
  constexpr uint32_t kAllocations = 2 * (4 + 2) + 1;
  for (uint32_t nth = 1; nth <= kAllocations; ++nth) {
    tarvel::FailAllocation(nth);
    EXPECT_EQ(Mode(instance, "enable"), T_ERR_MEM) << "allocation #" << nth;
    tarvel::ClearInjections();
    expect_as_before("allocation #" + std::to_string(nth));
  }

  // An undescribed region is refused by the board the same way.
  ASSERT_EQ(instance->SetParam("quick_switch_num_rois", Value::Int(3)), kOk);
  EXPECT_EQ(Mode(instance, "enable"), FG_ERR_BOARD);
  expect_as_before("region 2 without a size");
  ASSERT_EQ(instance->SetParam("quick_switch_num_rois", Value::Int(2)), kOk);

  // The normal ring still works, and the mode can still be switched on.
  std::vector<tarvel::Image> images;
  const uint64_t frame = bfsim::FramesProduced(0);
  ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  EXPECT_EQ(images.at(0).at(3, 2), static_cast<int64_t>(bfsim::PatternValue(frame, 3, 2, 0, 8)));
  EXPECT_EQ(Mode(instance, "enable"), kOk);
  EXPECT_EQ(instance->Grab(&images), kOk);
}

TEST_F(QuickSwitch, TheStandardBuildKeepsTheModeAsAFlag) {
  if (Full()) GTEST_SKIP() << "this build sets the mode up";
  tarvel::Instance *instance = OpenQs();
  ASSERT_NE(instance, nullptr);
  const uint32_t qtabs = bfsim::LiveQTabs(0);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(60000)), kOk);
  ASSERT_EQ(Mode(instance, "enable"), kOk);
  EXPECT_EQ(ModeRead(instance), "enable");
  EXPECT_EQ(bfsim::CallCount("BFQSModeSet"), 0u);
  EXPECT_EQ(bfsim::LiveQTabs(0), qtabs);

  // Grabs return at once (a wait would last the minute), with no image and
  // without starting anything on the board.
  const uint64_t starts = bfsim::CallCount("CiConAqCommand") + bfsim::CallCount("CiAqCommand");
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), kOk);
  EXPECT_TRUE(images.empty());
  EXPECT_EQ(instance->GrabStart(0), kOk);
  EXPECT_EQ(instance->GrabAsync(0, &images), kOk);
  EXPECT_TRUE(images.empty());
  EXPECT_EQ(bfsim::CallCount("CiConAqCommand") + bfsim::CallCount("CiAqCommand"), starts);
  EXPECT_EQ(bfsim::CallCount("CiConQSSetNextFrame"), 0u);
}

}  // namespace
}  // namespace grabline
