// pattern_rows.hpp — the test pattern as the DMA engine writes it, fast
// enough for a free-running camera at tens of thousands of frames a second.
// Along a line every component is (x + o + 7c) mod 2^bits with the line's
// offset o = 3y + 13f, so a line equals the line of offset 0 moved left by o
// pixels. One long row of width + 2^bits − 1 pixels, rendered once per
// format and window, therefore holds every line of every frame: a line is a
// copy out of it. Components wider than 16 bits would need too long a row;
// their lines are computed directly.
#pragma once

#include <cstdint>
#include <vector>

#include "model/pattern.hpp"

namespace bfsim::model {

class PatternRows {
 public:
  // Makes ready for lines of `width` pixels from camera column `x0` in
  // `format`; does nothing when that is what it is ready for already.
  void Prepare(const PixelFormat &format, uint32_t x0, uint32_t width);
  // Writes the first `bytes` (at most width × bytes_per_pixel) of camera
  // line `y` of frame `frame`, exactly as RenderLine would.
  void Line(uint64_t frame, uint32_t y, uint8_t *out, uint64_t bytes);

 private:
  bool ready_ = false;
  PixelFormat format_;
  uint32_t x0_ = 0;
  uint32_t width_ = 0;
  uint32_t bits_ = 0;
  uint64_t period_ = 0;  // 2^bits when the long row is used, else 0
  std::vector<uint8_t> row_;
};

}  // namespace bfsim::model
