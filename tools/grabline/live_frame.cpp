#include "live_frame.hpp"

#include <algorithm>
#include <cstring>

namespace grabline::tool {

LiveFrame LiveFrame::Copy(uint64_t number, std::string time, const std::vector<PlaneView> &planes) {
  LiveFrame frame;
  frame.number = number;
  frame.time = std::move(time);
  if (planes.empty()) return frame;
  frame.width = planes[0].width;
  frame.height = planes[0].height;
  const size_t samples = size_t(std::max(frame.width, 0)) * size_t(std::max(frame.height, 0));
  for (const PlaneView &view : planes) {
    Plane plane;
    plane.bytes_per_sample = view.bytes_per_sample;
    plane.significant_bits = view.significant_bits;
    const auto *first = static_cast<const unsigned char *>(view.data);
    plane.bytes.assign(first, first + samples * size_t(view.bytes_per_sample));
    frame.planes.push_back(std::move(plane));
  }
  return frame;
}

std::vector<PlaneView> LiveFrame::Views() const {
  std::vector<PlaneView> views;
  for (const Plane &plane : planes) {
    views.push_back(PlaneView{plane.bytes.data(), plane.bytes_per_sample, plane.significant_bits,
                              width, height});
  }
  return views;
}

uint8_t DisplayValue(uint32_t sample, int bits) {
  if (bits >= 8) return To8Bit(sample, bits);
  // A 2-bit camera's white is 3; shown as 3 of 255 it would be black.
  const uint32_t max = (1u << std::max(bits, 1)) - 1;
  return static_cast<uint8_t>(std::min(sample, max) * 255 / max);
}

DisplayImage ToDisplay(const LiveFrame &frame) {
  DisplayImage image;
  const std::vector<PlaneView> views = frame.Views();
  if (views.empty() || frame.width <= 0 || frame.height <= 0) return image;
  image.width = frame.width;
  image.height = frame.height;
  image.channels = views.size() >= 3 ? 3 : 1;
  image.histograms.assign(size_t(image.channels), Histogram{});
  const size_t count = size_t(frame.width) * size_t(frame.height);
  image.pixels.resize(count * size_t(image.channels));
  for (int c = 0; c < image.channels; ++c) {
    const PlaneView &plane = views[size_t(c)];
    Histogram &histogram = image.histograms[size_t(c)];
    for (size_t i = 0; i < count; ++i) {
      const uint8_t value = DisplayValue(SampleAt(plane, i), plane.significant_bits);
      image.pixels[i * size_t(image.channels) + size_t(c)] = value;
      ++histogram[value];
    }
  }
  return image;
}

}  // namespace grabline::tool
