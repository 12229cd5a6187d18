// Host images: kinds, host-owned pixels on the books, borrowed pixels, refusals.
#include <cstring>
#include <stdexcept>
#include <vector>

#include "host_fixture.hpp"

namespace tarvel::testing {
namespace {

using HostImage = HostTest;

TEST_F(HostImage, KindsGiveZeroedPixelsOfTheirWidth) {
  struct Case {
    int32_t kind;
    size_t bytes;
    int bits;
  };
  for (Case c : {Case{BYTE_IMAGE, 1, 8}, Case{UINT2_IMAGE, 2, 16}, Case{INT4_IMAGE, 4, 32}}) {
    Timage record;
    std::memset(&record, 0xA5, sizeof(record));
    ASSERT_EQ(TNewImage(nullptr, &record, c.kind, 5, 3), T_MSG_OK) << c.kind;
    Image image(record);
    EXPECT_EQ(image.kind(), c.kind);
    EXPECT_EQ(image.width(), 5);
    EXPECT_EQ(image.height(), 3);
    EXPECT_TRUE(image.owned());
    EXPECT_EQ(image.bytes_per_pixel(), c.bytes);
    EXPECT_EQ(image.significant_bits(), c.bits);
    EXPECT_EQ(record.msec, 0);
    EXPECT_EQ(record.year, 0);
    std::vector<unsigned char> zero(15 * c.bytes, 0);
    EXPECT_EQ(std::memcmp(image.data(), zero.data(), zero.size()), 0);
  }
}

TEST_F(HostImage, ImageReleasesHostPixelsOnce) {
  const size_t images = OutstandingImages();
  Timage record{};
  ASSERT_EQ(TNewImage(nullptr, &record, UINT2_IMAGE, 4, 4), T_MSG_OK);
  EXPECT_EQ(OutstandingImages(), images + 1);
  {
    Image first(record);
    Image moved(std::move(first));
    EXPECT_EQ(first.data(), nullptr);
    Image assigned;
    assigned = std::move(moved);
    EXPECT_EQ(OutstandingImages(), images + 1);
    // A second wrapper of the same record must not free the pixels again.
    Image duplicate(record);
  }
  EXPECT_EQ(OutstandingImages(), images);
}

TEST_F(HostImage, AtReadsPixelsByKind) {
  Timage record{};
  ASSERT_EQ(TNewImage(nullptr, &record, INT4_IMAGE, 3, 2), T_MSG_OK);
  record.pixel.l[1 * 3 + 2] = -7;
  Image wide(record);
  EXPECT_EQ(wide.at(2, 1), -7);
  EXPECT_EQ(wide.at(0, 0), 0);
  EXPECT_THROW(wide.at(3, 0), std::out_of_range);
  EXPECT_THROW(wide.at(0, -1), std::out_of_range);

  std::vector<uint16_t> words = {1, 2, 65535, 4};
  ASSERT_EQ(TNewImagePtr(nullptr, &record, UINT2_IMAGE, 2, 2, words.data(), 0), T_MSG_OK);
  record.pixel.u.num_bits = 12;
  Image narrow(record);
  EXPECT_EQ(narrow.at(0, 1), 65535);
  EXPECT_EQ(narrow.significant_bits(), 12);
}

TEST_F(HostImage, BorrowedPixelsStayTheCallersUnlessCopied) {
  const size_t images = OutstandingImages();
  std::vector<uint8_t> frame = {9, 8, 7, 6, 5, 4};
  Timage record{};
  ASSERT_EQ(TNewImagePtr(nullptr, &record, BYTE_IMAGE, 3, 2, frame.data(), 0), T_MSG_OK);
  EXPECT_EQ(record.pixel.b, frame.data());
  EXPECT_EQ(record.owns_pixels, 0);
  EXPECT_EQ(OutstandingImages(), images);
  { Image borrowed(record); }  // must not free the caller's memory

  ASSERT_EQ(TNewImagePtr(nullptr, &record, BYTE_IMAGE, 3, 2, frame.data(), 1), T_MSG_OK);
  EXPECT_NE(record.pixel.b, frame.data());
  Image copy(record);
  EXPECT_TRUE(copy.owned());
  EXPECT_EQ(copy.at(2, 1), 4);
  EXPECT_EQ(OutstandingImages(), images + 1);
}

TEST_F(HostImage, RefusalsCreateNothing) {
  const size_t images = OutstandingImages();
  uint8_t pixel = 0;
  Timage record{};
  EXPECT_EQ(TNewImage(nullptr, &record, 3, 4, 4), T_ERR_IMAGE);
  EXPECT_EQ(TNewImage(nullptr, &record, BYTE_IMAGE, 0, 4), T_ERR_IMAGE);
  EXPECT_EQ(TNewImage(nullptr, &record, BYTE_IMAGE, 4, -1), T_ERR_IMAGE);
  EXPECT_EQ(TNewImage(nullptr, nullptr, BYTE_IMAGE, 4, 4), T_ERR_ARGUMENT);
  EXPECT_EQ(TNewImagePtr(nullptr, &record, BYTE_IMAGE, 1, 1, nullptr, 0), T_ERR_ARGUMENT);
  EXPECT_EQ(TNewImagePtr(nullptr, &record, 0, 1, 1, &pixel, 0), T_ERR_IMAGE);
  // 65536 x 65536 wraps to 0 in 32 bits; the 64-bit size is far beyond any frame.
  EXPECT_EQ(TNewImage(nullptr, &record, BYTE_IMAGE, 65536, 65536), T_ERR_MEM);
  EXPECT_EQ(TNewImage(nullptr, &record, INT4_IMAGE, INT32_MAX, INT32_MAX), T_ERR_MEM);
  EXPECT_EQ(OutstandingImages(), images);
}

TEST_F(HostImage, NthImageCreationFailsOnce) {
  const uint64_t calls = ImageCalls();
  const size_t images = OutstandingImages();
  uint8_t pixel = 0;
  Timage record{};
  FailImageCreation(2);
  ASSERT_EQ(TNewImagePtr(nullptr, &record, BYTE_IMAGE, 1, 1, &pixel, 0), T_MSG_OK);
  EXPECT_EQ(TNewImage(nullptr, &record, BYTE_IMAGE, 2, 2), T_ERR_IMAGE);
  EXPECT_EQ(OutstandingImages(), images);
  ASSERT_EQ(TNewImage(nullptr, &record, BYTE_IMAGE, 2, 2), T_MSG_OK);
  Image made(record);
  EXPECT_EQ(ImageCalls(), calls + 3);
}

}  // namespace
}  // namespace tarvel::testing
