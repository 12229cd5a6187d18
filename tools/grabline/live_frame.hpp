// live_frame.hpp — one grabbed frame kept apart from the ring, and the same frame
// reduced to what a browser shows: 8-bit gray or RGB, with a histogram per channel.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "samples.hpp"

namespace grabline::tool {

// A frame copied out of the plug-in's images, so it outlives the next grab.
struct LiveFrame {
  struct Plane {
    std::vector<unsigned char> bytes;
    int bytes_per_sample = 1;
    int significant_bits = 8;
  };
  uint64_t number = 0;  // frames grabbed before this one
  std::string time;     // as FormatFrameTime gives it
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Plane> planes;  // gray: one; colour: red, green, blue

  // Copies `planes` (views of one frame's images, each `width` × `height`).
  static LiveFrame Copy(uint64_t number, std::string time, const std::vector<PlaneView> &planes);
  std::vector<PlaneView> Views() const;
  int bits() const { return planes.empty() ? 0 : planes[0].significant_bits; }
};

using Histogram = std::array<uint32_t, 256>;

// The frame as shown: each sample's top eight significant bits (shallower samples
// stretched to the full range), gray as one byte a pixel, colour as RGB triples.
struct DisplayImage {
  int32_t width = 0;
  int32_t height = 0;
  int channels = 0;  // 1 or 3
  std::vector<uint8_t> pixels;
  std::vector<Histogram> histograms;  // one per channel, of the shown values
};

DisplayImage ToDisplay(const LiveFrame &frame);

// A shown value of a sample with `bits` significant bits.
uint8_t DisplayValue(uint32_t sample, int bits);

}  // namespace grabline::tool
