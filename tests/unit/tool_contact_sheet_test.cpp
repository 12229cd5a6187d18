// Thumbnails, the contact sheet's grid and the thinning that keeps it bounded, and
// the reduction of samples to what PNG files and thumbnails hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "grabline/contact_sheet.hpp"
#include "grabline/samples.hpp"

namespace grabline::tool {
namespace {

TEST(ToolSamples, ReductionToEightAndSixteenBits) {
  EXPECT_EQ(To8Bit(200, 8), 200);
  EXPECT_EQ(To8Bit(4095, 12), 255);
  EXPECT_EQ(To8Bit(0x800, 12), 0x80);
  EXPECT_EQ(To8Bit(0xFFFF, 12), 255) << "bits above the significant ones clamp";
  EXPECT_EQ(To8Bit(0x80000000u, 32), 0x80);
  EXPECT_EQ(To8Bit(3, 2), 3);
  const uint32_t words[] = {0x12345678u, 0xFFFF0000u, 0x000FFFFFu, 0x00100000u};
  PlaneView plane{words, 4, 32, 4, 1};
  EXPECT_EQ(SampleAt(plane, 1), 0xFFFF0000u);
  EXPECT_EQ(To16Bit(plane), (std::vector<uint16_t>{0x1234, 0xFFFF, 0x000F, 0x0010}));
  plane.significant_bits = 20;
  EXPECT_EQ(To16Bit(plane), (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}))
      << "bits above the twenty significant ones clamp";
  const uint32_t twenty[] = {0x000FFFFFu, 0x00012345u};
  PlaneView deep{twenty, 4, 20, 2, 1};
  EXPECT_EQ(To16Bit(deep), (std::vector<uint16_t>{0xFFFF, 0x1234}));
}

// A gray plane whose sample is its x + 10 y.
std::vector<uint16_t> Ramp(int32_t width, int32_t height) {
  std::vector<uint16_t> pixels;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) pixels.push_back(static_cast<uint16_t>(x + 10 * y));
  }
  return pixels;
}

TEST(ToolThumbnail, SmallFramesStayWholeLargeOnesShrinkByWholeSteps) {
  std::vector<uint16_t> small = Ramp(4, 3);
  PlaneView plane{small.data(), 2, 16, 4, 3};
  Thumbnail thumb;
  ASSERT_TRUE(MakeThumbnail({&plane, 1}, 160, &thumb));
  EXPECT_EQ(thumb.width, 4);
  EXPECT_EQ(thumb.height, 3);
  EXPECT_EQ(thumb.channels, 1);
  ASSERT_EQ(thumb.pixels.size(), 12u);

  std::vector<uint8_t> frame(640 * 481, 0);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i % 640 / 4);
  PlaneView big{frame.data(), 1, 8, 640, 481};
  ASSERT_TRUE(MakeThumbnail({&big, 1}, 160, &thumb));
  EXPECT_EQ(thumb.width, 160);
  EXPECT_EQ(thumb.height, 121) << "481 lines in steps of 4, the last step short";
  // Sampled at the centre of each 4 x 4 step: source x = 4 k + 2.
  EXPECT_EQ(thumb.pixels[10], (4 * 10 + 2) / 4);
}

TEST(ToolThumbnail, ColourPlanesInterleaveAndBadPlanesAreRefused) {
  const uint8_t red[] = {10, 11}, green[] = {20, 21}, blue[] = {30, 31};
  const PlaneView planes[] = {{red, 1, 8, 2, 1}, {green, 1, 8, 2, 1}, {blue, 1, 8, 2, 1}};
  Thumbnail thumb;
  ASSERT_TRUE(MakeThumbnail(planes, 160, &thumb));
  EXPECT_EQ(thumb.channels, 3);
  EXPECT_EQ(thumb.pixels, (std::vector<uint8_t>{10, 20, 30, 11, 21, 31}));

  const PlaneView two[] = {planes[0], planes[1]};
  EXPECT_FALSE(MakeThumbnail(two, 160, &thumb));
  const PlaneView mismatched[] = {planes[0], planes[1], {blue, 1, 8, 1, 2}};
  EXPECT_FALSE(MakeThumbnail(mismatched, 160, &thumb));
  const PlaneView empty{nullptr, 1, 8, 2, 1};
  EXPECT_FALSE(MakeThumbnail({&empty, 1}, 160, &thumb));
  const PlaneView no_size{red, 1, 8, 0, 1};
  EXPECT_FALSE(MakeThumbnail({&no_size, 1}, 160, &thumb));
}

TEST(ToolSheetLayout, NearSquareGridOfBoundedWidth) {
  struct Case {
    uint64_t count;
    int64_t columns, rows;
  };
  for (const Case &c : {Case{1, 1, 1}, Case{2, 2, 1}, Case{4, 2, 2}, Case{5, 3, 2}, Case{10, 4, 3},
                        Case{64, 8, 8}, Case{65, 8, 9}, Case{1000, 8, 125}}) {
    const SheetLayout layout = LayoutSheet(c.count, 160, 120);
    EXPECT_EQ(layout.columns, c.columns) << c.count;
    EXPECT_EQ(layout.rows, c.rows) << c.count;
    EXPECT_EQ(layout.width, c.columns * (160 + kSheetGap) + kSheetGap);
    EXPECT_EQ(layout.height, c.rows * (120 + kSheetGap) + kSheetGap);
  }
  EXPECT_EQ(LayoutSheet(0, 160, 120).width, 0);
  const SheetLayout layout = LayoutSheet(5, 10, 20);
  int64_t x = 0, y = 0;
  CellOrigin(layout, 4, &x, &y);
  EXPECT_EQ(x, kSheetGap + 14);
  EXPECT_EQ(y, kSheetGap + 24);
}

Thumbnail Flat(int32_t width, int32_t height, int channels, uint8_t value) {
  return Thumbnail{width, height, channels,
                   std::vector<uint8_t>(size_t(width * height * channels), value)};
}

TEST(ToolContactSheet, ComposesCellsOnTheBackground) {
  ContactSheet sheet;
  SheetImage image;
  EXPECT_FALSE(sheet.Compose(&image));
  sheet.Add(0, Flat(2, 2, 1, 200));
  sheet.Add(1, Flat(3, 1, 1, 100));
  ASSERT_TRUE(sheet.Compose(&image));
  // Two cells of 3 x 2 (the largest thumbnail) side by side.
  EXPECT_EQ(image.width, 2 * (3 + kSheetGap) + kSheetGap);
  EXPECT_EQ(image.height, 2 + 2 * kSheetGap);
  ASSERT_EQ(image.planes.size(), 1u);
  auto at = [&](int32_t x, int32_t y) { return image.planes[0][size_t(y * image.width + x)]; };
  EXPECT_EQ(at(0, 0), kSheetBackground);
  EXPECT_EQ(at(kSheetGap, kSheetGap), 200);
  EXPECT_EQ(at(kSheetGap + 1, kSheetGap + 1), 200);
  EXPECT_EQ(at(kSheetGap + 2, kSheetGap), kSheetBackground) << "cell wider than its thumbnail";
  EXPECT_EQ(at(2 * kSheetGap + 3, kSheetGap), 100);
  EXPECT_EQ(at(2 * kSheetGap + 5, kSheetGap), 100);
  EXPECT_EQ(at(2 * kSheetGap + 3, kSheetGap + 1), kSheetBackground);
}

TEST(ToolContactSheet, GrayThumbnailsOnAColourSheetFillEveryPlane) {
  ContactSheet sheet;
  sheet.Add(0, Flat(1, 1, 1, 50));
  Thumbnail colour{1, 1, 3, {1, 2, 3}};
  sheet.Add(1, colour);
  SheetImage image;
  ASSERT_TRUE(sheet.Compose(&image));
  ASSERT_EQ(image.planes.size(), 3u);
  const size_t first = size_t(kSheetGap * image.width + kSheetGap);
  const size_t second = first + 1 + kSheetGap;
  for (size_t c = 0; c < 3; ++c) {
    EXPECT_EQ(image.planes[c][first], 50);
    EXPECT_EQ(size_t(image.planes[c][second]), c + 1);
  }
}

TEST(ToolContactSheet, ThinsEvenlyWhenFull) {
  ContactSheet sheet(8);
  for (uint64_t n = 0; n < 100; ++n) {
    if (sheet.Wants(n)) sheet.Add(n, Flat(1, 1, 1, 0));
  }
  // 100 frames through 8 places: every 16th frame, from the first.
  EXPECT_EQ(sheet.Ordinals(), (std::vector<uint64_t>{0, 16, 32, 48, 64, 80, 96}));
  EXPECT_FALSE(sheet.Wants(97));
  EXPECT_TRUE(sheet.Wants(112));
}

TEST(ToolContactSheet, RefusesInconsistentThumbnails) {
  ContactSheet sheet;
  sheet.Add(0, Thumbnail{2, 2, 1, {1, 2, 3}});
  sheet.Add(1, Flat(kThumbnailSide + 1, 1, 1, 0));
  sheet.Add(2, Flat(1, 1, 2, 0));
  EXPECT_TRUE(sheet.Ordinals().empty());
}

}  // namespace
}  // namespace grabline::tool
