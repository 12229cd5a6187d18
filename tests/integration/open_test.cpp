// FGOpen through the loader: device names, generic settings, failures that
// release everything.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::PluginTest;

class Opening : public PluginTest {
 protected:
  // Opening fails with `expected`, leaves nothing allocated and the record
  // free for the next instance.
  void ExpectRefused(const tarvel::Plugin::OpenParams &params, Terr expected) {
    Terr code = 0;
    EXPECT_EQ(Open(params, &code), nullptr);
    EXPECT_EQ(code, expected) << "device " << params.device << " camera " << params.camera_type;
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
    TFgInstance probe{};
    EXPECT_EQ(plugin_->fg_class().ops.alloc_instance(plugin_->proc(), &probe),
              &plugin_->fg_class().instance[0]);
    for (const auto &board : bfsim::Boards()) EXPECT_FALSE(board.open);
  }
  tarvel::Plugin::OpenParams WithDevice(const char *device) {
    auto params = Params();
    params.device = device;
    return params;
  }
};

TEST_F(Opening, DefaultBoardWithDefaultCameraOpensAtFullSize) {
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  const TFgInstance &record = instance->record();
  EXPECT_EQ(record.board_width, 640);
  EXPECT_EQ(record.board_height, 480);
  EXPECT_EQ(record.image_width, 640);
  EXPECT_EQ(record.image_height, 480);
  EXPECT_EQ(record.horizontal_resolution, 640);
  EXPECT_EQ(record.vertical_resolution, 480);
  EXPECT_EQ(record.resolution_mode, 0);
  EXPECT_EQ(record.bits_per_channel, 8);
  EXPECT_EQ(record.num_channels, 1);
  EXPECT_STREQ(record.color_space, "gray");
  EXPECT_TRUE(bfsim::Boards()[0].open);
  EXPECT_EQ(plugin_->fg_class().instances_num, 1);
}

TEST_F(Opening, DeviceNameForms) {
  tarvel::Instance *r64 = Open(WithDevice("R64:0"));
  ASSERT_NE(r64, nullptr);
  ASSERT_EQ(Close(r64), kOk);
  ExpectRefused(WithDevice("R64:1"), FG_ERR_BOARD_OPEN);        // no second R64
  ExpectRefused(WithDevice("RoadRunner:0"), FG_ERR_BOARD_OPEN);  // no RoadRunner at all
  ExpectRefused(WithDevice("GN2:0"), FG_ERR_BOARD_OPEN);
  ExpectRefused(WithDevice("Switch:9,Connector:9"), FG_ERR_BOARD_OPEN);
  // A family name without a board number is none of the names.
  for (const char *device : {"R64:x", "R64:", "R64:0x", "Raven:", "GN2:1x", "RoadRunner: 1"}) {
    SCOPED_TRACE(device);
    ExpectRefused(WithDevice(device), FG_ERR_UNSUPPORTED);
  }
  ExpectRefused(WithDevice("r64:0"), FG_ERR_UNSUPPORTED);
  ExpectRefused(WithDevice("camera"), FG_ERR_UNSUPPORTED);
  ExpectRefused(WithDevice(""), FG_ERR_UNSUPPORTED);
}

TEST_F(Opening, SwitchAndConnectorFindTheBoard) {
  ASSERT_EQ(bfsim::LoadSystem("family=R64 model=R64-CL kinds=cl ports=2 switch=3 connector=1\n"),
            "");
  EXPECT_NE(Open(WithDevice("Switch:3,Connector:1")), nullptr);
}

TEST_F(Opening, SameDeviceTwiceIsBusyWhateverThePort) {
  ASSERT_NE(OpenOk(), nullptr);
  auto params = Params();
  params.port = 1;
  Terr code = 0;
  EXPECT_EQ(Open(params, &code), nullptr);
  EXPECT_EQ(code, FG_ERR_DEVICE_BUSY);
}

TEST_F(Opening, GenericSettingsAreChecked) {
  auto params = Params();
  params.port = -1;
  ExpectRefused(params, FG_ERR_PORT);
  params = Params();
  params.port = 3;  // the default board has two ports
  ExpectRefused(params, FG_ERR_CAMERA_SELECT);
  params = Params();
  params.bits_per_channel = 9;
  ExpectRefused(params, FG_ERR_BITS_PER_CHANNEL);
  params = Params();
  params.color_space = "yuv";
  ExpectRefused(params, FG_ERR_COLOR_SPACE);
  params = Params();
  params.color_space = "rgb";  // an 8-bit gray camera delivers no colour
  ExpectRefused(params, FG_ERR_BITS_PER_CHANNEL);
  params = Params();
  params.bits_per_channel = 10;
  params.color_space = "rgb";
  ExpectRefused(params, FG_ERR_BITS_PER_CHANNEL);
  params = Params();
  params.horizontal_resolution = 320;  // passes the factor test, then only 1x1 is taken
  ExpectRefused(params, FG_ERR_RESOLUTION);
  params = Params();
  params.horizontal_resolution = 100;
  ExpectRefused(params, FG_ERR_RESOLUTION);
  params = Params();
  params.start_row = 1;
  ExpectRefused(params, FG_ERR_IMAGE_PART);
  params = Params();
  params.image_width = 320;
  ExpectRefused(params, FG_ERR_IMAGE_PART);
}

TEST_F(Opening, SecondPortOpens) {
  auto params = Params();
  params.port = 1;
  tarvel::Instance *instance = Open(params);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->record().port, 1);
}

TEST_F(Opening, DriverNotReady) {
  bfsim::SetDriverReady(false);
  ExpectRefused(Params(), FG_ERR_DRIVER_NOT_READY);
}

TEST_F(Opening, BoardHeldByAnotherProcessIsReportedAndReleased) {
  tarvel::SetLowError(true);
  bfsim::SetHeldElsewhere(0, true);
  ExpectRefused(Params(), FG_ERR_BOARD);
  ExpectRefused(Params("gray8.cam"), FG_ERR_BOARD);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{"Board already opened by another process",
                                      "Board already opened by another process"}));
}

TEST_F(Opening, MissingOrMalformedCameraFileIsRefused) {
  ExpectRefused(Params("no_such_camera.cam"), FG_ERR_BOARD);
  ExpectRefused(Params("README.md"), FG_ERR_BOARD);
  auto params = Params();
  params.camera_type = std::string(600, 'c');  // longer than the record keeps
  ExpectRefused(params, FG_ERR_BOARD_OPEN);
}

TEST_F(Opening, ColourCamerasBecomeRgbChannels) {
  struct Case {
    const char *camera;
    int32_t bits;
    int32_t channels;
  };
  for (const Case &c : {Case{"rgb24.cam", 8, 3}, Case{"rgb32.cam", 8, 4}, Case{"rgb30.cam", 10, 3},
                        Case{"rgb36.cam", 12, 3}, Case{"gray12.cam", 12, 1}}) {
    tarvel::Instance *instance = OpenOk(c.camera);
    ASSERT_NE(instance, nullptr) << c.camera;
    EXPECT_EQ(instance->record().bits_per_channel, c.bits) << c.camera;
    EXPECT_EQ(instance->record().num_channels, c.channels) << c.camera;
    EXPECT_STREQ(instance->record().color_space, c.channels == 1 ? "gray" : "rgb") << c.camera;
    EXPECT_EQ(Close(instance), kOk);
  }
}

TEST_F(Opening, SecondDepthIsAcceptedWhenAsked) {
  // The camera delivers 24 bits; the board can also deliver 32.
  auto params = Params("depth2.cam");
  params.bits_per_channel = 32;
  tarvel::Instance *instance = Open(params);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->record().num_channels, 4);
}

TEST_F(Opening, ShowErrorDialogGenericSelectsTheOpenMode) {
  bfsim::RecordCalls(true);
  auto params = Params();
  params.generic = {tarvel::Value::Str("show_error_dlg:0")};
  ASSERT_NE(Open(params), nullptr);
  bool seen = false;
  for (const auto &call : bfsim::TakeCalls()) {
    if (call.function == "CiBrdOpen") {
      seen = true;
      EXPECT_EQ(call.args.at(0), 321u);
    }
  }
  EXPECT_TRUE(seen);
}

TEST_F(Opening, EveryRingBufferHandedToTheSdkIsPageAligned) {
  bfsim::RecordCalls(true);
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("num_buffers", tarvel::Value::Int(5)), kOk);
  int tables = 0;
  for (const auto &call : bfsim::TakeCalls()) {
    if (call.function != "CiRelQTabCreate") continue;
    ++tables;
    EXPECT_EQ(call.args.at(1) % 4096, 0u) << "destination " << call.args.at(1);
  }
  EXPECT_EQ(tables, 2 + 5);
}

}  // namespace
}  // namespace grabline
