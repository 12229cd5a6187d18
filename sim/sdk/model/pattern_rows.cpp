// The long-row renderer. The row costs (width + 2^bits) pixels of RenderLine
// once; a 16-bit camera 16384 pixels wide with 8 bytes a pixel needs 640 KB.
#include "model/pattern_rows.hpp"

#include <cstring>

namespace bfsim::model {
namespace {

// Keeps the row within 82 K pixels (the widest camera plus 2^16).
constexpr uint32_t kMaxRowBits = 16;

}  // namespace

void PatternRows::Prepare(const PixelFormat &format, uint32_t x0, uint32_t width) {
  if (ready_ && format.depth == format_.depth && format.color == format_.color &&
      format.bytes_per_pixel == format_.bytes_per_pixel && x0 == x0_ && width == width_) {
    return;
  }
  format_ = format;
  x0_ = x0;
  width_ = width;
  bits_ = ComponentBitsOf(format.depth, format.color);
  const uint64_t pitch = format.bytes_per_pixel;
  if (bits_ <= kMaxRowBits) {
    period_ = uint64_t{1} << bits_;
    const uint64_t pixels = width + period_ - 1;
    row_.assign(pixels * pitch, 0);
    RenderLine(format, 0, x0, 0, static_cast<uint32_t>(pixels), row_.data());
  } else {
    period_ = 0;
    row_.assign(uint64_t{width} * pitch, 0);  // one line, padding bytes stay zero
  }
  ready_ = true;
}

void PatternRows::Line(uint64_t frame, uint32_t y, uint8_t *out, uint64_t bytes) {
  const uint64_t pitch = format_.bytes_per_pixel;
  // 2^bits divides 2^64, so the wrapped 64-bit sum keeps the value mod 2^bits.
  const uint64_t offset = 3 * uint64_t{y} + 13 * frame;
  if (period_ != 0) {
    std::memcpy(out, row_.data() + (offset & (period_ - 1)) * pitch, bytes);
    return;
  }
  // Gray of 17 to 32 bits: one little-endian 32-bit word a pixel.
  const uint32_t mask = bits_ >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << bits_) - 1;
  const uint32_t first = static_cast<uint32_t>(x0_ + offset);
  uint8_t *p = row_.data();
  for (uint32_t i = 0; i < width_; ++i, p += pitch) {
    const uint32_t v = (first + i) & mask;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
  }
  std::memcpy(out, row_.data(), bytes);
}

}  // namespace bfsim::model
