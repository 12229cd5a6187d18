// PNG writing: files read back with libpng, sample for sample.
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "host_fixture.hpp"

namespace tarvel::testing {
namespace {

struct Decoded {
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 0;
  int color_type = -1;
  std::vector<unsigned char> rows;  // as stored: 16-bit samples big-endian
};

// Only plain locals live in this frame: libpng leaves it by longjmp on errors.
bool DecodeInto(FILE *file, Decoded *out, std::vector<unsigned char> *rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) return false;
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->bit_depth = png_get_bit_depth(png, info);
  out->color_type = png_get_color_type(png, info);
  size_t row_bytes = png_get_rowbytes(png, info);
  rows->resize(row_bytes * out->height);
  for (uint32_t y = 0; y < out->height; ++y)
    png_read_row(png, rows->data() + y * row_bytes, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

std::optional<Decoded> ReadPng(const std::string &path) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  Decoded decoded;
  bool ok = DecodeInto(file, &decoded, &decoded.rows);
  std::fclose(file);
  if (!ok) return std::nullopt;
  return decoded;
}

class HostPng : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    std::string pattern = (std::filesystem::temp_directory_path() / "host_png_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    HostTest::TearDown();
  }

  static Image Make(int32_t kind, int32_t width, int32_t height) {
    Timage record{};
    EXPECT_EQ(TNewImage(nullptr, &record, kind, width, height), T_MSG_OK);
    return Image(record);
  }

  std::filesystem::path dir_;
};

TEST_F(HostPng, GrayBytesRoundTrip) {
  Image gray = Make(BYTE_IMAGE, 3, 2);
  for (int k = 0; k < 6; ++k) gray.record().pixel.b[k] = uint8_t(40 * k + 1);
  std::string path = (dir_ / "gray.png").string();
  std::string error;
  ASSERT_TRUE(WritePng(path, {&gray}, &error)) << error;
  std::optional<Decoded> png = ReadPng(path);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 3u);
  EXPECT_EQ(png->height, 2u);
  EXPECT_EQ(png->bit_depth, 8);
  EXPECT_EQ(png->color_type, PNG_COLOR_TYPE_GRAY);
  EXPECT_EQ(png->rows, (std::vector<unsigned char>{1, 41, 81, 121, 161, 201}));
}

TEST_F(HostPng, ThreeWordChannelsInterleaveInOrder) {
  Image red = Make(UINT2_IMAGE, 2, 1);
  Image green = Make(UINT2_IMAGE, 2, 1);
  Image blue = Make(UINT2_IMAGE, 2, 1);
  red.record().pixel.u.p[0] = 0x0102;
  green.record().pixel.u.p[0] = 1023;  // values as they are, not scaled to 16 bits
  blue.record().pixel.u.p[1] = 0xFFFF;
  std::string path = (dir_ / "rgb.png").string();
  std::string error;
  ASSERT_TRUE(WritePng(path, {&red, &green, &blue}, &error)) << error;
  std::optional<Decoded> png = ReadPng(path);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->bit_depth, 16);
  EXPECT_EQ(png->color_type, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(png->rows, (std::vector<unsigned char>{0x01, 0x02, 0x03, 0xFF, 0, 0,  //
                                                   0, 0, 0, 0, 0xFF, 0xFF}));
}

TEST_F(HostPng, RefusalsExplainAndLeaveNoFile) {
  Image wide = Make(INT4_IMAGE, 2, 2);
  Image small = Make(BYTE_IMAGE, 2, 2);
  Image other = Make(BYTE_IMAGE, 3, 2);
  std::string path = (dir_ / "refused.png").string();
  std::string error;
  EXPECT_FALSE(WritePng(path, {&wide}, &error));
  EXPECT_EQ(error, "32-bit images cannot be written as PNG");
  EXPECT_FALSE(WritePng(path, {&small, &other, &small}, &error));
  EXPECT_EQ(error, "channels differ in kind or size");
  EXPECT_FALSE(WritePng(path, {&small, &small}, &error));
  EXPECT_EQ(error, "a PNG takes 1 or 3 channels, not 2");
  EXPECT_FALSE(std::filesystem::exists(path));

  std::string missing = (dir_ / "no" / "such.png").string();
  EXPECT_FALSE(WritePng(missing, {&small}, &error));
  EXPECT_EQ(error.rfind("cannot create " + missing, 0), 0u) << error;
}

}  // namespace
}  // namespace tarvel::testing
