// Snaps through the loader, pixel for pixel, in every format the cameras
// deliver.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::GrabDelivered;
using testing::PluginTest;

struct Format {
  const char *camera;
  int32_t kind;        // host pixel type of each image
  int channels;        // images a grab gives
  uint32_t bits;       // bits of one component
  int source[4];       // pattern component each image holds
  bool bytes_of_word = false;  // image k holds byte k of one 32-bit component
};

const Format kFormats[] = {
    {"gray8.cam", BYTE_IMAGE, 1, 8, {0}},
    {"gray10.cam", UINT2_IMAGE, 1, 10, {0}},
    {"gray12.cam", UINT2_IMAGE, 1, 12, {0}},
    {"gray16.cam", UINT2_IMAGE, 1, 16, {0}},
    {"gray20.cam", INT4_IMAGE, 1, 20, {0}},
    // 32-bit pixels are read as four colour bytes, whatever the camera means.
    {"gray32.cam", BYTE_IMAGE, 4, 32, {0, 0, 0, 0}, true},
    {"rgb24.cam", BYTE_IMAGE, 3, 8, {2, 1, 0}},
    {"rgb32.cam", BYTE_IMAGE, 4, 8, {0, 1, 2, 3}},
    {"rgb30.cam", UINT2_IMAGE, 3, 10, {2, 1, 0}},
    {"rgb36.cam", UINT2_IMAGE, 3, 12, {2, 1, 0}},
};

class GrabPixels : public PluginTest, public ::testing::WithParamInterface<Format> {};

void ExpectPattern(const std::vector<tarvel::Image> &images, const Format &format, uint64_t frame,
                   bool upside_down = false) {
  ASSERT_EQ(images.size(), static_cast<size_t>(format.channels));
  for (int k = 0; k < format.channels; ++k) {
    const tarvel::Image &image = images[k];
    EXPECT_EQ(image.kind(), format.kind);
    if (format.kind == UINT2_IMAGE) {
      EXPECT_EQ(image.significant_bits(), static_cast<int>(format.bits));
    }
    int mismatches = 0;
    for (int32_t y = 0; y < image.height() && mismatches < 5; ++y) {
      const int32_t source_y = upside_down ? image.height() - 1 - y : y;
      for (int32_t x = 0; x < image.width() && mismatches < 5; ++x) {
        uint64_t expected = bfsim::PatternValue(frame, x, source_y, format.source[k], format.bits);
        if (format.bytes_of_word) expected = (expected >> (8 * k)) & 0xFF;
        const uint64_t mask = format.bytes_of_word ? 0xFF
                              : format.bits >= 32  ? 0xFFFFFFFFull
                                                   : (1ull << format.bits) - 1;
        const uint64_t got = static_cast<uint64_t>(image.at(x, y)) & mask;
        if (got != expected) {
          ADD_FAILURE() << format.camera << " image " << k << " (" << x << "," << y << "): " << got
                        << " != " << expected;
          ++mismatches;
        }
      }
    }
  }
}

TEST_P(GrabPixels, CopiedImagesEqualTheFrame) {
  const Format &format = GetParam();
  tarvel::Instance *instance = OpenOk(format.camera);
  ASSERT_NE(instance, nullptr);
  bfsim::SetManualClock(0, true);
  for (int round = 0; round < 2; ++round) {
    const uint64_t frame = bfsim::FramesProduced(0);
    std::vector<tarvel::Image> images;
    ASSERT_EQ(GrabDelivered(instance, &images), kOk);
    for (const auto &image : images) EXPECT_TRUE(image.owned());
    ExpectPattern(images, format, frame);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, GrabPixels, ::testing::ValuesIn(kFormats),
                         [](const auto &info) {
                           std::string name = info.param.camera;
                           return name.substr(0, name.find('.'));
                         });

class GrabModes : public PluginTest {};

TEST_F(GrabModes, VolatileImageLiesOverTheRingBuffer) {
  bfsim::RecordCalls(true);
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("volatile", tarvel::Value::Str("enable")), kOk);
  std::vector<uint64_t> destinations;
  for (const auto &call : bfsim::TakeCalls()) {
    if (call.function == "CiRelQTabCreate") destinations.push_back(call.args.at(1));
  }
  bfsim::SetManualClock(0, true);
  const uint64_t frame = bfsim::FramesProduced(0);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_FALSE(images[0].owned());
  const auto address = reinterpret_cast<uint64_t>(images[0].data());
  EXPECT_EQ(address % 4096, 0u);
  EXPECT_NE(std::find(destinations.end() - 2, destinations.end(), address), destinations.end());
  ExpectPattern(images, kFormats[0], frame);
}

TEST_F(GrabModes, VolatileRefusedForColour) {
  tarvel::Instance *instance = OpenOk("rgb24.cam");
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->SetParam("volatile", tarvel::Value::Str("enable")), FG_ERR_PARAM_VALUE);
}

TEST_F(GrabModes, BottomUpStoresTheFrameUpsideDown) {
  tarvel::Instance *instance = OpenOk("gray16.cam");
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("dma_direction", tarvel::Value::Str("Bottom-Up")), kOk);
  std::vector<tarvel::Value> answer;
  ASSERT_EQ(instance->GetParam("dma_direction", &answer), kOk);
  EXPECT_EQ(answer.at(0).s, "bottom-up");
  bfsim::SetManualClock(0, true);
  const uint64_t frame = bfsim::FramesProduced(0);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  ExpectPattern(images, kFormats[3], frame, true);
}

TEST_F(GrabModes, FreeRunningCameraNeedsNoStepping) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  for (int i = 0; i < 5; ++i) {
    std::vector<tarvel::Image> images;
    ASSERT_EQ(instance->Grab(&images), kOk);
    ASSERT_EQ(images.size(), 1u);
    // The frame number is read back from the first pixel's pattern.
    const uint64_t first = static_cast<uint64_t>(images[0].at(0, 0));
    EXPECT_EQ(static_cast<uint64_t>(images[0].at(5, 2)), (first + 5 + 6) & 0xFF);
  }
}

}  // namespace
}  // namespace grabline
