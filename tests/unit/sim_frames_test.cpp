// What DMA writes: the pattern in every pixel format, the chain's order,
// strides either way, QTabs of other sizes than the frame, and the region.
#include <cstring>

#include "sim_acq_fixture.hpp"

namespace bfsim_test {
namespace {

using SimFrames = SimAcqTest;

uint32_t Le(const uint8_t *p, int bytes) {
  uint32_t v = 0;
  for (int b = bytes - 1; b >= 0; --b) v = (v << 8) | p[b];
  return v;
}

// Component `c` of a pixel, read by the layouts cameras/README.md documents
// (independently of the simulator's own writer).
uint32_t Component(const uint8_t *pixel, const bfsim::CameraDesc &camera, bool second, uint32_t c) {
  const uint32_t depth = second ? camera.depth2 : camera.depth;
  const bool color = depth == 24 || depth == 30 || depth == 36 || (depth == 32 && camera.color);
  if (!color) return Le(pixel, depth <= 8 ? 1 : depth <= 16 ? 2 : 4);
  if (depth == 30) return (Le(pixel, 4) >> (10 * c)) & 0x3FF;
  if (depth == 36) return Le(pixel + 2 * c, 2);
  return pixel[c];
}

// Checks every pixel of a packed frame against the formula.
void ExpectPattern(const uint8_t *data, const bfsim::CameraDesc &camera, uint64_t frame,
                   const bfsim::FrameWindow &w, bool second = false) {
  const uint32_t depth = second ? camera.depth2 : camera.depth;
  const bool color = depth == 24 || depth == 30 || depth == 36 || (depth == 32 && camera.color);
  const uint32_t components = !color ? 1 : depth == 32 ? 4 : 3;
  const uint32_t bits = !color ? depth : depth == 30 ? 10 : depth == 36 ? 12 : 8;
  const uint32_t bytes = second ? camera.bytes_per_pixel2 : camera.bytes_per_pixel;
  int mismatches = 0;
  for (uint32_t y = 0; y < w.lines; ++y) {
    for (uint32_t x = 0; x < w.width && mismatches < 5; ++x) {
      const uint8_t *pixel = data + (uint64_t{y} * w.width + x) * bytes;
      for (uint32_t c = 0; c < components; ++c) {
        const uint64_t want = bfsim::PatternValue(frame, w.column + x, w.row + y, c, bits);
        if (Component(pixel, camera, second, c) != want) {
          ADD_FAILURE() << camera.file << " (" << x << "," << y << ") c" << c;
          ++mismatches;
        }
      }
    }
  }
}

// The frame number in a gray 8-bit buffer, from its first pixel.
uint64_t FrameOf(const std::vector<uint8_t> &buffer) {
  for (uint64_t f = 0; f < 256; ++f) {
    if (bfsim::PatternValue(f, 0, 0, 0, 8) == buffer[0]) return f;
  }
  return 999;
}

TEST_F(SimFrames, ASnapFillsTheBufferWithThePatternInEveryFormat) {
  for (const char *name : {"gray8.cam", "gray10.cam", "gray12.cam", "gray16.cam", "gray32.cam",
                           "rgb24.cam", "rgb30.cam", "rgb32.cam", "rgb36.cam", "depth2.cam"}) {
    SCOPED_TRACE(name);
    Bd board = OpenCamera(ShippedCamera(name));
    const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
    Ring &ring = BuildRing(board, 1);
    ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
    ASSERT_EQ(bfsim::DeliverFrames(0, 3), 1u);  // a snap takes one frame
    ExpectPattern(ring.buffers[0].data(), camera, 0, {0, 0, 64, 48});
    EXPECT_EQ(ring.buffers[0], bfsim::ExpectedFrame(camera, 0));
    ASSERT_EQ(CiBrdClose(board), BF_OK);
  }

  // The second depth, asked for by the QTab's format.
  Bd board = OpenCamera(ShippedCamera("depth2.cam"));
  const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
  Ring &ring = BuildRing(board, 1, 0, 0, 4);
  ASSERT_EQ(CiAqCommand(board, BF_AQ_SNAP, 2, 0, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  ASSERT_EQ(ring.buffers[0].size(), 64u * 48 * 4);
  ExpectPattern(ring.buffers[0].data(), camera, 0, {0, 0, 64, 48}, true);
  EXPECT_EQ(ring.buffers[0], bfsim::ExpectedFrame(camera, 0, {0, 0, 0, 0, true}));
}

TEST_F(SimFrames, TheChainIsFilledInOrderAndWraps) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  Ring &ring = BuildRing(board, 3);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 5), 5u);
  EXPECT_EQ(FrameOf(ring.buffers[0]), 3u);
  EXPECT_EQ(FrameOf(ring.buffers[1]), 4u);
  EXPECT_EQ(FrameOf(ring.buffers[2]), 2u);
  EXPECT_EQ(bfsim::AcquisitionState(0)->chain_position, 2u);
  EXPECT_EQ(bfsim::FramesProduced(0), 5u);

  // A DMA reset and a new engage start again at the chain's first QTab.
  ASSERT_EQ(CiConDMACommand(board, BF_DMA_RESET, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiPhysQTabChainEngage(board, ring.list.data(), 0), BF_OK);
  ASSERT_EQ(CiConDMACommand(board, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  EXPECT_EQ(FrameOf(ring.buffers[0]), 5u);
}

TEST_F(SimFrames, NegativeStrideStoresTheFrameBottomUp) {
  Bd board = OpenCamera(ShippedCamera("gray16.cam"));
  const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
  const uint32_t line = 64 * 2;
  // Two lines more than the frame: the frame fills the buffer's bottom.
  Ring &ring = BuildRing(board, 1, line * 50, -static_cast<int32_t>(line));
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  const std::vector<uint8_t> expected = bfsim::ExpectedFrame(camera, 0);
  const std::vector<uint8_t> &buffer = ring.buffers[0];
  for (uint32_t k = 0; k < 48; ++k) {
    ASSERT_EQ(std::memcmp(buffer.data() + (49 - k) * line, expected.data() + k * line, line), 0)
        << "frame line " << k;
  }
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 2 * line),
            std::vector<uint8_t>(2 * line, 0xEE));
}

TEST_F(SimFrames, AQTabTakesWhatFitsItsLinesAndStride) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
  const std::vector<uint8_t> expected = bfsim::ExpectedFrame(camera, 0);
  // Ten lines, each padded to 72 bytes; then lines cut to 32 bytes.
  Ring &wide = BuildRing(board, 1, 72 * 10, 72);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  Ring &narrow = BuildRing(board, 1, 32 * 100, 32);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  const std::vector<uint8_t> second = bfsim::ExpectedFrame(camera, 1);
  for (uint32_t k = 0; k < 10; ++k) {
    EXPECT_EQ(std::memcmp(wide.buffers[0].data() + k * 72, expected.data() + k * 64, 64), 0);
    EXPECT_EQ(wide.buffers[0][k * 72 + 64], 0xEE);
    EXPECT_EQ(wide.buffers[0][k * 72 + 71], 0xEE);
  }
  for (uint32_t k = 0; k < 48; ++k) {
    EXPECT_EQ(std::memcmp(narrow.buffers[0].data() + k * 32, second.data() + k * 64, 32), 0);
  }
  EXPECT_EQ(narrow.buffers[0][48 * 32], 0xEE);  // the frame had only 48 lines
}

TEST_F(SimFrames, TheRegionIsCheckedAndCutsTheFrames) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
  const uint32_t refused[][4] = {
      {0, 0, 0, 48},   {0, 0, 64, 0},  {0, 0, 30, 48},         {4, 0, 62, 48},
      {36, 0, 32, 48}, {0, 40, 64, 9}, {0xFFFFFFFC, 0, 8, 48}, {0, 0xFFFFFFFF, 8, 2},
  };
  for (const auto &r : refused) {
    EXPECT_EQ(CiAqROISet(board, r[0], r[1], r[2], r[3], 0), BF_ERR_BAD_ARG)
        << r[0] << "," << r[1] << " " << r[2] << "x" << r[3];
  }
  EXPECT_EQ(CiAqFrameSize(board, 62, 48, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_BYTES), 64u * 48);

  ASSERT_EQ(CiAqROISet(board, 8, 4, 32, 20, 0), BF_OK);
  EXPECT_EQ(Inquire(board, BF_INQ_XSIZE), 32u);
  EXPECT_EQ(Inquire(board, BF_INQ_YSIZE), 20u);
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_BYTES), 32u * 20);
  Ring &ring = BuildRing(board, 1);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  ASSERT_EQ(ring.buffers[0].size(), 32u * 20);
  ExpectPattern(ring.buffers[0].data(), camera, 0, {8, 4, 32, 20});
  EXPECT_EQ(ring.buffers[0], bfsim::ExpectedFrame(camera, 0, {8, 4, 32, 20}));

  // The full width needs no multiple of 4; the frame size has no offset.
  Load("family=R64 model=A\n");
  board = OpenCamera(TempCamera("sim_odd.cam", "width=62\nheight=10\ndepth=24\n"));
  EXPECT_EQ(CiAqFrameSize(board, 62, 7, 0), BF_OK);
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_BYTES), 62u * 7 * 3);
  EXPECT_EQ(CiAqROISet(board, 0, 3, 62, 7, 0), BF_OK);
  EXPECT_EQ(CiAqROISet(board, 2, 0, 60, 7, 0), BF_OK);
  EXPECT_EQ(CiAqROISet(board, 1, 0, 60, 7, 0), BF_OK);
  EXPECT_EQ(CiAqROISet(board, 0, 0, 61, 7, 0), BF_ERR_BAD_ARG);
  // Closing the last handle gives the whole frame back.
  ASSERT_EQ(CiBrdClose(board), BF_OK);
  board = OpenCamera(TempCamera("sim_odd.cam", "width=62\nheight=10\ndepth=24\n"));
  EXPECT_EQ(Inquire(board, BF_INQ_XSIZE), 62u);
  EXPECT_EQ(Inquire(board, BF_INQ_YSIZE), 10u);
}

TEST_F(SimFrames, FrameBytesFollowTheAcquisitionFormat) {
  Bd board = OpenCamera(ShippedCamera("depth2.cam"));
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_BYTES), 64u * 48 * 3);
  ASSERT_EQ(CiConAqMode(board, 4), BF_OK);
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_BYTES), 64u * 48 * 4);
  EXPECT_EQ(CiConAqMode(board, 5), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::AcquisitionState(0)->format, 4u);
}

// Frames tall enough that 3y runs past the pattern's period (2^bits) in every
// component width, from a column other than 0, and with bytes beyond a
// pixel's natural size: every line of several frames, byte for byte.
TEST_F(SimFrames, LinesPastThePatternPeriodMatchTheFormula) {
  struct Case {
    const char *format;
    uint32_t height;
  };
  for (const Case &c : {Case{"depth=8", 100}, Case{"depth=10", 400}, Case{"depth=12", 1400},
                        Case{"depth=16", 22000}, Case{"depth=24", 100}, Case{"depth=30", 400},
                        Case{"depth=36", 1400}, Case{"depth=32\ncolor_space=rgb", 100},
                        Case{"depth=12\nbytes_per_pixel=3", 1400}, Case{"depth=20", 10},
                        Case{"depth=32\ncolor_space=gray\nbytes_per_pixel=8", 10}}) {
    SCOPED_TRACE(c.format);
    Load("family=R64 model=A\n");
    Bd board = OpenCamera(TempCamera(
        "sim_tall.cam", "width=12\nheight=" + std::to_string(c.height) + "\n" + c.format + "\n"));
    const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
    ASSERT_EQ(CiAqROISet(board, 4, 0, 4, c.height, 0), BF_OK);
    Ring &ring = BuildRing(board, 1);
    ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
    for (uint64_t frame = 0; frame < 3; ++frame) {
      ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
      ASSERT_EQ(ring.buffers[0], bfsim::ExpectedFrame(camera, frame, {4, 0, 4, 0})) << frame;
    }
    ASSERT_EQ(CiBrdClose(board), BF_OK);
  }
}

// The board keeps what it rendered between frames; a change of the depth
// alone, of the bytes a pixel alone, of the region's width or of its column
// alone must reach the very next frame.
TEST_F(SimFrames, FormatAndRegionChangesReachTheNextFrame) {
  for (const char *second : {"depth=24\nbytes_per_pixel2=4", "depth=4\ndepth2=8"}) {
    SCOPED_TRACE(second);
    Load("family=R64 model=A\n");
    Bd board = OpenCamera(
        TempCamera("sim_second.cam", std::string("width=64\nheight=48\n") + second + "\n"));
    const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
    uint64_t frame = 0;
    auto expect_snap = [&](uint32_t format, bfsim::FrameWindow window) {
      Ring &ring = BuildRing(board, 1, 0, 0, format);
      ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
      ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
      window.second_depth = format == 4;
      EXPECT_EQ(ring.buffers[0], bfsim::ExpectedFrame(camera, frame++, window))
          << "format " << format << " column " << window.column;
    };
    expect_snap(3, {});
    expect_snap(4, {});
    ASSERT_EQ(CiAqROISet(board, 8, 4, 32, 20, 0), BF_OK);
    expect_snap(4, {8, 4, 32, 20});
    ASSERT_EQ(CiAqROISet(board, 12, 4, 32, 20, 0), BF_OK);
    expect_snap(4, {12, 4, 32, 20});
    expect_snap(3, {12, 4, 32, 20});
    ASSERT_EQ(CiAqROISet(board, 0, 0, 64, 48, 0), BF_OK);
    expect_snap(3, {});
    ASSERT_EQ(CiBrdClose(board), BF_OK);
  }
}

}  // namespace
}  // namespace bfsim_test
