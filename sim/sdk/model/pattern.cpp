// The test pattern. Arithmetic is in 64 bits and wraps: 2^bits divides 2^64,
// so the wrapped sum still gives the value modulo 2^bits for any frame number.
#include "model/pattern.hpp"

#include <cstring>

namespace bfsim::model {
namespace {

void Put16(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t *p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

}  // namespace

bool IsColorDepth(uint32_t depth, bool color_camera) {
  return depth == 24 || depth == 30 || depth == 36 || (depth == 32 && color_camera);
}

bool ValidDepth(uint32_t depth) {
  return (depth >= 1 && depth <= 32) || depth == 36;
}

uint32_t ComponentsOf(uint32_t depth, bool color) {
  if (!color) return 1;
  return depth == 32 ? 4 : 3;
}

uint32_t ComponentBitsOf(uint32_t depth, bool color) {
  if (!color) return depth;
  switch (depth) {
    case 30:
      return 10;
    case 36:
      return 12;
    default:
      return 8;
  }
}

uint32_t NaturalBytes(uint32_t depth, bool color) {
  if (color) {
    switch (depth) {
      case 24:
        return 3;
      case 36:
        return 6;
      default:
        return 4;
    }
  }
  return depth <= 8 ? 1 : depth <= 16 ? 2 : 4;
}

uint32_t PatternValue(uint64_t frame, uint32_t x, uint32_t y, uint32_t component, uint32_t bits) {
  if (bits == 0) return 0;
  const uint64_t mask = bits >= 32 ? 0xFFFFFFFFull : (uint64_t{1} << bits) - 1;
  const uint64_t sum = uint64_t{x} + 3 * uint64_t{y} + 7 * uint64_t{component} + 13 * frame;
  return static_cast<uint32_t>(sum & mask);
}

void RenderLine(const PixelFormat &format, uint64_t frame, uint32_t x0, uint32_t y, uint32_t width,
                uint8_t *out) {
  const bool color = format.color;
  const uint32_t components = ComponentsOf(format.depth, color);
  const uint32_t bits = ComponentBitsOf(format.depth, color);
  const uint32_t natural = NaturalBytes(format.depth, color);
  const uint32_t pitch = format.bytes_per_pixel;
  std::memset(out, 0, uint64_t{width} * pitch);
  uint32_t v[4] = {};
  for (uint32_t i = 0; i < width; ++i) {
    for (uint32_t c = 0; c < components; ++c) v[c] = PatternValue(frame, x0 + i, y, c, bits);
    uint8_t *p = out + uint64_t{i} * pitch;
    if (!color) {
      if (natural == 1) {
        p[0] = static_cast<uint8_t>(v[0]);
      } else if (natural == 2) {
        Put16(p, v[0]);
      } else {
        Put32(p, v[0]);
      }
    } else if (format.depth == 30) {
      Put32(p, v[0] | (v[1] << 10) | (v[2] << 20));
    } else if (format.depth == 36) {
      for (uint32_t c = 0; c < 3; ++c) Put16(p + 2 * c, v[c]);
    } else {
      for (uint32_t c = 0; c < components; ++c) p[c] = static_cast<uint8_t>(v[c]);
    }
  }
}

}  // namespace bfsim::model
