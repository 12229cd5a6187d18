// Reads a PNG file back with libpng, samples as stored, for checking what tools wrote.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace grabline::testing {

struct PngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 0;
  int channels = 0;  // 1 gray, 3 RGB
  std::vector<unsigned char> rows;

  // Sample of channel `c` at (x, y); 16-bit samples are stored most significant byte first.
  uint32_t At(uint32_t x, uint32_t y, int c = 0) const {
    const size_t bytes = size_t(bit_depth / 8);
    const size_t at = ((size_t(y) * width + x) * size_t(channels) + size_t(c)) * bytes;
    return bytes == 1 ? rows[at] : (uint32_t(rows[at]) << 8) | rows[at + 1];
  }
};

namespace png_read {

// Only plain locals live in this frame: libpng leaves it by longjmp on errors.
inline bool Decode(FILE *file, PngImage *out, std::vector<unsigned char> *rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->bit_depth = png_get_bit_depth(png, info);
  out->channels = png_get_channels(png, info);
  const size_t row_bytes = png_get_rowbytes(png, info);
  rows->resize(row_bytes * out->height);
  for (uint32_t y = 0; y < out->height; ++y) {
    png_read_row(png, rows->data() + y * row_bytes, nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace png_read

inline std::optional<PngImage> ReadPng(const std::string &path) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  PngImage image;
  const bool ok = png_read::Decode(file, &image, &image.rows);
  std::fclose(file);
  if (!ok) return std::nullopt;
  return image;
}

}  // namespace grabline::testing
