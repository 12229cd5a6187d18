#include "samples.hpp"

#include <algorithm>
#include <cstring>

namespace grabline::tool {

uint32_t SampleAt(const PlaneView &plane, size_t index) {
  const auto *bytes = static_cast<const unsigned char *>(plane.data);
  switch (plane.bytes_per_sample) {
    case 1:
      return bytes[index];
    case 2: {
      uint16_t sample = 0;
      std::memcpy(&sample, bytes + 2 * index, sizeof(sample));
      return sample;
    }
    default: {
      uint32_t sample = 0;
      std::memcpy(&sample, bytes + 4 * index, sizeof(sample));
      return sample;
    }
  }
}

uint8_t To8Bit(uint32_t sample, int significant_bits) {
  const int bits = std::clamp(significant_bits, 1, 32);
  const uint32_t top = bits > 8 ? sample >> (bits - 8) : sample;
  return static_cast<uint8_t>(std::min<uint32_t>(top, 255));
}

std::vector<uint16_t> To16Bit(const PlaneView &plane) {
  const size_t count = size_t(std::max(plane.width, 0)) * size_t(std::max(plane.height, 0));
  const int shift = std::clamp(plane.significant_bits, 16, 32) - 16;
  std::vector<uint16_t> reduced(count);
  for (size_t i = 0; i < count; ++i) {
    reduced[i] = static_cast<uint16_t>(std::min<uint32_t>(SampleAt(plane, i) >> shift, 0xFFFF));
  }
  return reduced;
}

}  // namespace grabline::tool
