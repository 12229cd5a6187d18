// pattern.hpp — the picture every simulated camera delivers. Each component
// of each pixel encodes the frame number f and the pixel's camera position:
//   v(f, x, y, c) = (x + 3*y + 7*c + 13*f) mod 2^bits
// with `bits` the bits of one component. Tests compute the same formula, so
// they can tell frames apart and check every pixel of every buffer.
#pragma once

#include <cstdint>

namespace bfsim::model {

// How one pixel is stored (little endian):
//   gray up to 8 bits: one byte; 9 to 16 bits: one uint16; 32 bits: one uint32
//   24-bit colour: bytes c0 c1 c2          32-bit colour: bytes c0 c1 c2 c3
//   30-bit colour: one uint32, c0 in bits 0-9, c1 10-19, c2 20-29
//   36-bit colour: uint16 c0 c1 c2 (12 bits each)
// Bytes beyond these, when a camera file asks for more, are zero.
struct PixelFormat {
  uint32_t depth = 8;
  uint32_t bytes_per_pixel = 1;
  bool color = false;
};

inline constexpr uint32_t kMaxBytesPerPixel = 8;

// 24, 30 and 36 bits are always colour, up to 16 always gray; 32 bits are
// colour when the camera says so.
bool IsColorDepth(uint32_t depth, bool color_camera);
bool ValidDepth(uint32_t depth);
uint32_t ComponentsOf(uint32_t depth, bool color);
uint32_t ComponentBitsOf(uint32_t depth, bool color);
// The bytes the layout above needs.
uint32_t NaturalBytes(uint32_t depth, bool color);

uint32_t PatternValue(uint64_t frame, uint32_t x, uint32_t y, uint32_t component, uint32_t bits);

// Writes `width` pixels of camera line `y`, from camera column `x0`, of frame
// `frame`: width × bytes_per_pixel bytes at `out`.
void RenderLine(const PixelFormat &format, uint64_t frame, uint32_t x0, uint32_t y, uint32_t width,
                uint8_t *out);

}  // namespace bfsim::model
