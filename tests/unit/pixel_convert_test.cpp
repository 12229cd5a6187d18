// Colour pixels split into channels: which byte or field lands in which
// channel, and that exactly the given number of pixels is written.
#include "acq/pixel_convert.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "acq/kernel_dispatch.hpp"
#include "acq/pixel_kernels.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

constexpr uint8_t kSentinel8 = 0xEE;
constexpr uint16_t kSentinel16 = 0xBEEF;

// Pixel counts around the widths vector code works in, and odd ones.
const uint64_t kCounts[] = {0, 1, 7, 15, 16, 17, 33, 64, 255};

TEST(PixelConvert, RGB24ChannelsTakeBytesZeroOneTwo) {
  for (const uint64_t n : kCounts) {
    std::vector<uint8_t> src(3 * n);
    for (uint64_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + 1);
    if (n > 0) src[0] = 10, src[1] = 20, src[2] = 30;
    std::vector<uint8_t> p0(n + 1, kSentinel8), p1(n + 1, kSentinel8), p2(n + 1, kSentinel8);
    ASSERT_EQ(ExtractRGB24Channels(n, src.data(), p0.data(), p1.data(), p2.data()), FG_OK);
    for (uint64_t i = 0; i < n; ++i) {
      ASSERT_EQ(p0[i], src[3 * i]) << n << " pixels, pixel " << i;
      ASSERT_EQ(p1[i], src[3 * i + 1]) << n << " pixels, pixel " << i;
      ASSERT_EQ(p2[i], src[3 * i + 2]) << n << " pixels, pixel " << i;
    }
    if (n > 0) {
      EXPECT_EQ((std::vector<int>{p0[0], p1[0], p2[0]}), (std::vector<int>{10, 20, 30}));
    }
    EXPECT_EQ(p0[n], kSentinel8);
    EXPECT_EQ(p1[n], kSentinel8);
    EXPECT_EQ(p2[n], kSentinel8);
  }
}

TEST(PixelConvert, RGB32ChannelsSwapTheFirstAndThirdByte) {
  for (const uint64_t n : kCounts) {
    std::vector<uint8_t> src(4 * n);
    for (uint64_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 5 + 3);
    std::vector<uint8_t> p[4];
    for (auto &channel : p) channel.assign(n + 1, kSentinel8);
    ASSERT_EQ(
        ExtractRGB32Channels(n, src.data(), p[0].data(), p[1].data(), p[2].data(), p[3].data()),
        FG_OK);
    for (uint64_t i = 0; i < n; ++i) {
      ASSERT_EQ(p[2][i], src[4 * i]) << n << " pixels, pixel " << i;
      ASSERT_EQ(p[1][i], src[4 * i + 1]) << n << " pixels, pixel " << i;
      ASSERT_EQ(p[0][i], src[4 * i + 2]) << n << " pixels, pixel " << i;
      ASSERT_EQ(p[3][i], src[4 * i + 3]) << n << " pixels, pixel " << i;
    }
    for (const auto &channel : p) EXPECT_EQ(channel[n], kSentinel8);
  }
}

TEST(PixelConvert, RGB30FieldsGoToChannelsAndUnpackBufferTopBitsIgnored) {
  for (const uint64_t n : kCounts) {
    std::vector<uint32_t> src(n);
    for (uint64_t i = 0; i < n; ++i) {
      src[i] = 0xC0000000u | uint32_t((i * 3) & 0x3ff) << 20 | uint32_t((i * 5) & 0x3ff) << 10 |
               uint32_t((i * 11 + 1) & 0x3ff);
    }
    if (n > 0) src[0] = 0xC0000000u | 1023u << 20 | 1u << 10 | 1u;
    std::vector<uint16_t> c[3], unpack(3 * n + 1, kSentinel16);
    Tuint2_pixel images[3];
    for (int k = 0; k < 3; ++k) {
      c[k].assign(n + 1, kSentinel16);
      images[k] = {c[k].data(), 16};
    }
    ASSERT_EQ(
        ExtractRGB30Channels(n, src.data(), unpack.data(), &images[0], &images[1], &images[2]),
        FG_OK);
    for (uint64_t i = 0; i < n; ++i) {
      for (int k = 0; k < 3; ++k) {
        const uint16_t field = (src[i] >> (10 * k)) & 0x3ff;
        ASSERT_EQ(c[k][i], field) << n << " pixels, pixel " << i << ", channel " << k;
        ASSERT_EQ(unpack[3 * i + k], field) << n << " pixels, pixel " << i << ", field " << k;
      }
    }
    if (n > 0) {
      EXPECT_EQ((std::vector<int>{c[0][0], c[1][0], c[2][0]}), (std::vector<int>{1, 1, 1023}));
      EXPECT_EQ((std::vector<int>{unpack[0], unpack[1], unpack[2]}),
                (std::vector<int>{1, 1, 1023}));
    }
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(c[k][n], kSentinel16);
      EXPECT_EQ(images[k].num_bits, 10);
    }
    EXPECT_EQ(unpack[3 * n], kSentinel16);
  }
}

TEST(PixelConvert, RGB30WithoutUnpackBufferStillFillsChannels) {
  const uint32_t src[2] = {3u << 20 | 2u << 10 | 1u, 6u << 20 | 5u << 10 | 4u};
  uint16_t c[3][2] = {};
  Tuint2_pixel images[3] = {{c[0], 16}, {c[1], 16}, {c[2], 16}};
  ASSERT_EQ(ExtractRGB30Channels(2, src, nullptr, &images[0], &images[1], &images[2]), FG_OK);
  EXPECT_EQ((std::vector<int>{c[0][0], c[1][0], c[2][0], c[0][1], c[1][1], c[2][1]}),
            (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(PixelConvert, RGB36ChannelsTakeWordsZeroOneTwoWithTwelveBits) {
  for (const uint64_t n : kCounts) {
    std::vector<uint16_t> src(3 * n);
    for (uint64_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint16_t>((i * 13 + 2) & 0xfff);
    std::vector<uint16_t> c[3];
    Tuint2_pixel images[3];
    for (int k = 0; k < 3; ++k) {
      c[k].assign(n + 1, kSentinel16);
      images[k] = {c[k].data(), 16};
    }
    ASSERT_EQ(ExtractRGB36Channels(n, src.data(), &images[0], &images[1], &images[2]), FG_OK);
    for (uint64_t i = 0; i < n; ++i) {
      for (int k = 0; k < 3; ++k) ASSERT_EQ(c[k][i], src[3 * i + k]) << n << " pixels, " << i;
    }
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(c[k][n], kSentinel16);
      EXPECT_EQ(images[k].num_bits, 12);
    }
  }
}

TEST(PixelConvert, GrayCopyMovesPixelsOfTheGivenWidth) {
  const uint32_t src[5] = {0x11223344u, 0x55667788u, 0x99aabbccu, 0xddeeff00u, 0x01020304u};
  uint32_t dst[5] = {0, 0, 0, 0, 0xffffffffu};
  ASSERT_EQ(CopyGrayPixels(2, 4, src, dst), FG_OK);          // two 4-byte pixels
  ASSERT_EQ(CopyGrayPixels(2, 2, src + 2, dst + 2), FG_OK);  // two 2-byte pixels: one word
  EXPECT_EQ(dst[0], src[0]);
  EXPECT_EQ(dst[1], src[1]);
  EXPECT_EQ(dst[2], src[2]);
  EXPECT_EQ(dst[3], 0u);
  EXPECT_EQ(dst[4], 0xffffffffu);
  ASSERT_EQ(CopyGrayPixels(0, 1, nullptr, nullptr), FG_OK);
}

// One kernel through its entry point and through the scalar table, into
// byte planes: plane k of `planes` bytes a pixel each.
struct KernelCase {
  kernels::Kernel kernel;
  uint64_t src_per_pixel;
  std::vector<uint64_t> plane_bytes;
  void (*entry)(uint64_t n, const uint8_t *src, std::vector<std::vector<uint8_t>> &out);
  void (*scalar)(uint64_t n, const uint8_t *src, std::vector<std::vector<uint8_t>> &out);
};

uint16_t *Words(std::vector<uint8_t> &plane) { return reinterpret_cast<uint16_t *>(plane.data()); }

const KernelCase kKernelCases[] = {
    {kernels::Kernel::kSplit3x8,
     3,
     {1, 1, 1},
     [](uint64_t n, const uint8_t *s, auto &o) {
       ExtractRGB24Channels(n, s, o[0].data(), o[1].data(), o[2].data());
     },
     [](uint64_t n, const uint8_t *s, auto &o) {
       kernels::ScalarKernels().split3x8(n, s, o[0].data(), o[1].data(), o[2].data(), false);
     }},
    {kernels::Kernel::kSplit4x8,
     4,
     {1, 1, 1, 1},
     [](uint64_t n, const uint8_t *s, auto &o) {
       ExtractRGB32Channels(n, s, o[0].data(), o[1].data(), o[2].data(), o[3].data());
     },
     [](uint64_t n, const uint8_t *s, auto &o) {
       kernels::ScalarKernels().split4x8(n, s, o[2].data(), o[1].data(), o[0].data(), o[3].data(),
                                         false);
     }},
    {kernels::Kernel::kSplit30,
     4,
     {2, 2, 2, 6},
     [](uint64_t n, const uint8_t *s, auto &o) {
       Tuint2_pixel c[3] = {{Words(o[0]), 16}, {Words(o[1]), 16}, {Words(o[2]), 16}};
       ExtractRGB30Channels(n, s, Words(o[3]), &c[0], &c[1], &c[2]);
     },
     [](uint64_t n, const uint8_t *s, auto &o) {
       kernels::ScalarKernels().split30(n, reinterpret_cast<const uint32_t *>(s), Words(o[3]),
                                        Words(o[0]), Words(o[1]), Words(o[2]), false);
     }},
    {kernels::Kernel::kSplit3x16,
     6,
     {2, 2, 2},
     [](uint64_t n, const uint8_t *s, auto &o) {
       Tuint2_pixel c[3] = {{Words(o[0]), 16}, {Words(o[1]), 16}, {Words(o[2]), 16}};
       ExtractRGB36Channels(n, s, &c[0], &c[1], &c[2]);
     },
     [](uint64_t n, const uint8_t *s, auto &o) {
       kernels::ScalarKernels().split3x16(n, reinterpret_cast<const uint16_t *>(s), Words(o[0]),
                                          Words(o[1]), Words(o[2]), false);
     }},
    {kernels::Kernel::kCopy,
     2,
     {2},
     [](uint64_t n, const uint8_t *s, auto &o) { CopyGrayPixels(n, 2, s, o[0].data()); },
     [](uint64_t n, const uint8_t *s, auto &o) {
       kernels::ScalarKernels().copy(2 * n, s, o[0].data(), false);
     }},
};

// Frames long enough to be timed, in the cache and beyond it (where the
// trials cut them into parts), through every entry point until the process
// has made its choice: every frame, during the trials and after, is the
// scalar table's.
TEST(PixelConvert, EveryKernelMatchesTheScalarTableWhileAndAfterItsTableIsChosen) {
  for (const KernelCase &k : kKernelCases) {
    uint64_t dst_per_pixel = 0;
    for (const uint64_t b : k.plane_bytes) dst_per_pixel += b;
    const uint64_t beyond = kernels::CacheShareBytes() / (k.src_per_pixel + dst_per_pixel) + 1001;
    for (const uint64_t n : {uint64_t{64} << 10, beyond}) {
      const kernels::SizeClass size = kernels::ClassOf(n * k.src_per_pixel, n * dst_per_pixel);
      std::vector<uint8_t> src(n * k.src_per_pixel);
      for (uint64_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + (i >> 11));
      std::vector<std::vector<uint8_t>> want, got;
      for (const uint64_t b : k.plane_bytes) want.emplace_back(n * b, 0);
      k.scalar(n, src.data(), want);
      bool decided = false;
      for (int frame = 0; frame < 20 && !decided; ++frame) {
        got.clear();
        for (const uint64_t b : k.plane_bytes) got.emplace_back(n * b, 0xEE);
        k.entry(n, src.data(), got);
        ASSERT_TRUE(got == want) << kernels::KernelName(k.kernel) << ", " << n << " pixels, frame "
                                 << frame;
        for (const kernels::ChoiceReport &r : kernels::Dispatch().Reports()) {
          if (r.kernel == k.kernel && r.size == size) decided = r.decided;
        }
      }
      EXPECT_TRUE(decided) << kernels::KernelName(k.kernel) << ", " << n << " pixels";
    }
  }
}

}  // namespace
}  // namespace grabline
