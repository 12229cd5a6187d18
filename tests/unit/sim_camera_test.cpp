// Camera files: parsing, the values derived from them, refusals naming their
// line, loading through the open calls, and the cameras shipped in cameras/.
#include <algorithm>
#include <utility>

#include "sim_acq_fixture.hpp"

namespace bfsim_test {
namespace {

using SimCameras = SimAcqTest;

bfsim::CameraDesc Parse(const std::string &text) {
  bfsim::CameraDesc camera;
  EXPECT_EQ(bfsim::ParseCamera(text, &camera), "") << text;
  return camera;
}

TEST_F(SimCameras, EveryKeyIsRead) {
  const bfsim::CameraDesc c = Parse(
      "# a start/stop camera\n"
      "width=128\n"
      "  height =  96  # lines\r\n"
      "\n"
      "depth = 12\n"
      "bytes_per_pixel = 4\n"
      "depth2 = 16\n"
      "bytes_per_pixel2 = 2\n"
      "color_space = GRAY\n"
      "trigger_mode = 7\n"
      "trigger_a = 11\n"
      "trigger_b = 0x0d\n"
      "trigger_c = 13\n"
      "frame_rate = 250\n"
      "timeout = 1500\n"
      "interlace = 2\n"
      "start_stop_lines = 96, 10 ,1\n");
  EXPECT_EQ(c.width, 128u);
  EXPECT_EQ(c.height, 96u);
  EXPECT_EQ(c.depth, 12u);
  EXPECT_EQ(c.bytes_per_pixel, 4u);
  EXPECT_EQ(c.depth2, 16u);
  EXPECT_EQ(c.bytes_per_pixel2, 2u);
  EXPECT_FALSE(c.color);
  EXPECT_EQ(c.trigger_mode, 7u);
  EXPECT_EQ(c.trigger_a, 11u);
  EXPECT_EQ(c.trigger_b, 13u);
  EXPECT_EQ(c.trigger_c, 13u);
  EXPECT_EQ(c.frame_rate, 250u);
  EXPECT_EQ(c.timeout_ms, 1500u);
  EXPECT_EQ(c.interlace, 2u);
  EXPECT_EQ(c.start_stop_lines, (std::vector<uint32_t>{96, 10, 1}));
}

TEST_F(SimCameras, OmittedKeysAreDerived) {
  struct Case {
    uint32_t depth;
    const char *extra;
    uint32_t bytes, depth2, bytes2;
    bool color;
  };
  const Case cases[] = {
      {1, "", 1, 1, 1, false},
      {8, "", 1, 8, 1, false},
      {9, "", 2, 9, 2, false},
      {16, "", 2, 16, 2, false},
      {24, "", 3, 24, 3, true},
      {30, "", 4, 30, 4, true},
      {32, "", 4, 32, 4, true},
      {32, "color_space=gray\n", 4, 32, 4, false},
      {36, "", 6, 36, 6, true},
      {24, "depth2=32\n", 3, 32, 4, true},
      {8, "bytes_per_pixel=2\n", 2, 8, 2, false},
      {12, "depth2=8\n", 2, 8, 1, false},
  };
  for (const Case &k : cases) {
    const std::string text = "width=8\nheight=4\ndepth=" + std::to_string(k.depth) + "\n" + k.extra;
    SCOPED_TRACE(text);
    const bfsim::CameraDesc c = Parse(text);
    EXPECT_EQ(c.bytes_per_pixel, k.bytes);
    EXPECT_EQ(c.depth2, k.depth2);
    EXPECT_EQ(c.bytes_per_pixel2, k.bytes2);
    EXPECT_EQ(c.color, k.color);
    EXPECT_EQ(c.trigger_mode, 0u);
    EXPECT_EQ(c.frame_rate, 100u);
    EXPECT_EQ(c.timeout_ms, 5000u);
    EXPECT_EQ(c.interlace, 1u);
    EXPECT_TRUE(c.start_stop_lines.empty());
  }
}

TEST_F(SimCameras, FaultsNameTheirLine) {
  const std::string head = "width=64\nheight=48\n";  // lines 1 and 2
  const std::pair<std::string, std::string> cases[] = {
      {head + "depth=8\ncolour=rgb\n", "line 4: unknown key 'colour'"},
      {head + "depth=8\ndepth=8\n", "line 4: key 'depth' given twice"},
      {head + "depth 8\n", "line 3: 'depth 8' is not a key = value line"},
      {head + "depth=\n", "line 3: 'depth=' is not a key = value line"},
      {head + "=8\n", "line 3: '=8' is not a key = value line"},
      {head + "depth=8 bits\n", "line 3: depth '8 bits' is not a 32-bit number"},
      {head + "depth=0x1ffffffff\n", "line 3: depth '0x1ffffffff' is not a 32-bit number"},
      {head + "depth=33\n", "line 3: depth must be 1 to 32 or 36"},
      {"width=0\nheight=1\ndepth=8\n", "line 1: width must be from 1 to 16384"},
      {"width=1\nheight=32768\ndepth=8\n", "line 2: height must be from 1 to 32767"},
      {head + "depth=8\nbytes_per_pixel=9\n", "line 4: bytes_per_pixel must be from 1 to 8"},
      {head + "depth=12\nbytes_per_pixel=1\n",
       "line 4: bytes_per_pixel must be from 2 to 8 for depth 12"},
      {head + "depth=8\ndepth2=36\nbytes_per_pixel2=4\n",
       "line 5: bytes_per_pixel2 must be from 6 to 8 for depth 36"},
      {head + "depth=8\ncolor_space=rgb\n", "line 4: color_space rgb needs depth 24, 30, 32 or 36"},
      {head + "color_space=gray\ndepth=24\n", "line 3: color_space gray does not fit depth 24"},
      {head + "depth=8\ncolor_space=yuv\n", "line 4: color_space must be gray or rgb"},
      {head + "depth=8\ntrigger_mode=1\n", "line 4: trigger_mode must be 0, 2, 3, 6, 7 or 8"},
      {head + "depth=8\nframe_rate=0\n", "line 4: frame_rate must be from 1 to 100000"},
      {head + "depth=8\ntimeout=0x80000000\n", "line 4: timeout must be from 1 to 2147483647"},
      {head + "depth=8\ninterlace=3\n", "line 4: interlace must be 1 or 2"},
      {head + "depth=8\nstart_stop_lines=10\n",
       "line 4: start_stop_lines needs trigger_mode 7 or 8"},
      {head + "depth=8\ntrigger_mode=8\nstart_stop_lines=10,,2\n",
       "line 5: start_stop_lines entry '' is not a line count from 1 to 32767"},
      {head + "depth=8\x01\n", "line 3: control character in the line"},
      {head + "# " + std::string(520, 'x') + "\ndepth=8\n", "line 3: longer than 512 characters"},
      {head, "end of file: no depth"},
      {"", "end of file: no width"},
  };
  for (const auto &[text, error] : cases) {
    bfsim::CameraDesc camera;
    camera.width = 77;
    EXPECT_EQ(bfsim::ParseCamera(text, &camera), error) << text;
    EXPECT_EQ(camera.width, 77u) << "a refused text fills nothing";
  }
  std::string many = "1";
  for (int i = 0; i < 64; ++i) many += ",1";
  EXPECT_EQ(bfsim::ParseCamera(head + "depth=8\ntrigger_mode=8\nstart_stop_lines=" + many, nullptr),
            "line 5: start_stop_lines has more than 64 entries");
  EXPECT_EQ(bfsim::ParseCamera(std::string(65537, '\n'), nullptr),
            "line 1: the file is longer than 65536 bytes");
}

TEST_F(SimCameras, OpenLoadsTheFileAndKeepsWhyItFailed) {
  CiENTRY entry;
  Bd board = nullptr;
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  // Errors name the file as the board sees it, with '/' separators.
  auto slashed = [](std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  };
  const std::string missing = ::testing::TempDir() + "no_such.cam";
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, missing.c_str()), BF_ERR_NO_CAMERA);
  EXPECT_EQ(bfsim::LastCameraError(), slashed(missing) + ": cannot be read");

  const std::string bad = TempCamera("sim_bad.cam", "width=64\nheight=48\ndepth=8\nfps=3\n");
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, bad.c_str()), BF_ERR_NO_CAMERA);
  EXPECT_EQ(bfsim::LastCameraError(), slashed(bad) + ": line 4: unknown key 'fps'");
  EXPECT_FALSE(bfsim::Boards()[0].open);

  // The plug-in hands over paths with '\' separators.
  std::string windows = ShippedCamera("rgb36.cam");
  for (char &c : windows) c = c == '/' ? '\\' : c;
  ASSERT_EQ(CiBrdOpenCam(&entry, &board, 257, windows.c_str()), BF_OK);
  EXPECT_EQ(bfsim::LastCameraError(), "");
  EXPECT_EQ(bfsim::CurrentCamera(0)->file, ShippedCamera("rgb36.cam"));
  EXPECT_EQ(Inquire(board, BF_INQ_BITDEPTH), 36u);
  EXPECT_EQ(Inquire(board, BF_INQ_BYTES_PER_PIX), 6u);
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_RATE), 500u);
  EXPECT_EQ(Inquire(board, BF_INQ_FRAME_BYTES), 64u * 48 * 6);

  // "default" takes the camera the system file names.
  Load("family=R64 model=A camera=" + ShippedCamera("oneshot8.cam") + "\n");
  Bd other = Open();
  uint32_t mode = 0;
  ASSERT_EQ(CiConVTrigModeGet(other, &mode, nullptr, nullptr, nullptr), BF_OK);
  EXPECT_EQ(mode, 2u);
  EXPECT_EQ(Inquire(other, BF_INQ_TIMEOUT), 5000u);
}

TEST_F(SimCameras, ShippedCamerasLoad) {
  struct Shipped {
    const char *name;
    uint32_t depth, bytes, depth2, bytes2, mode;
  };
  const Shipped shipped[] = {
      {"gray8.cam", 8, 1, 8, 1, 0},      {"gray10.cam", 10, 2, 10, 2, 0},
      {"gray12.cam", 12, 2, 12, 2, 0},   {"gray16.cam", 16, 2, 16, 2, 0},
      {"gray32.cam", 32, 4, 32, 4, 0},   {"rgb24.cam", 24, 3, 24, 3, 0},
      {"rgb30.cam", 30, 4, 30, 4, 0},    {"rgb32.cam", 32, 4, 32, 4, 0},
      {"rgb36.cam", 36, 6, 36, 6, 0},    {"oneshot8.cam", 8, 1, 8, 1, 2},
      {"startstop8.cam", 8, 1, 8, 1, 7}, {"depth2.cam", 24, 3, 32, 4, 0},
  };
  for (const Shipped &s : shipped) {
    SCOPED_TRACE(s.name);
    Bd board = OpenCamera(ShippedCamera(s.name));
    EXPECT_EQ(Inquire(board, BF_INQ_XSIZE), 64u);
    EXPECT_EQ(Inquire(board, BF_INQ_YSIZE), 48u);
    EXPECT_EQ(Inquire(board, BF_INQ_BITDEPTH), s.depth);
    EXPECT_EQ(Inquire(board, BF_INQ_BYTES_PER_PIX), s.bytes);
    EXPECT_EQ(Inquire(board, BF_INQ_BITDEPTH2), s.depth2);
    EXPECT_EQ(Inquire(board, BF_INQ_BYTES_PER_PIX2), s.bytes2);
    EXPECT_EQ(bfsim::Trigger(0)->mode, s.mode);
    // Only gray32 takes its 32 bits as one value.
    EXPECT_EQ(bfsim::CurrentCamera(0)->color, s.depth >= 24 && std::string(s.name) != "gray32.cam");
    EXPECT_EQ(CiBrdClose(board), BF_OK);
  }
}

}  // namespace
}  // namespace bfsim_test
