// samples.hpp — reading the pixels of one image plane whatever its sample size,
// and reducing them to what PNG files and thumbnails hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace grabline::tool {

// One channel image as delivered: rows follow each other without padding.
struct PlaneView {
  const void *data = nullptr;
  int bytes_per_sample = 1;  // 1, 2 or 4
  int significant_bits = 8;  // of each sample, 1 to 32
  int32_t width = 0;
  int32_t height = 0;
};

// Sample `index` (row-major), 32-bit samples taken as unsigned.
uint32_t SampleAt(const PlaneView &plane, size_t index);
// The top eight significant bits of a sample; bits above the significant ones clamp to 255.
uint8_t To8Bit(uint32_t sample, int significant_bits);
// Samples of more than 16 significant bits reduced to their top 16, the most a PNG
// sample holds; bits above the significant ones clamp to 65535.
std::vector<uint16_t> To16Bit(const PlaneView &plane);

}  // namespace grabline::tool
