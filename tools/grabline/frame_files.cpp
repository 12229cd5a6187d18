#include "frame_files.hpp"

namespace grabline::tool {
namespace {

// A host image record over memory the tool owns; the host does not free it.
tarvel::Image Borrowed(int32_t kind, int32_t width, int32_t height, void *data, int bits) {
  Timage record{};
  record.kind = kind;
  record.width = width;
  record.height = height;
  if (kind == UINT2_IMAGE) {
    record.pixel.u.p = static_cast<uint16_t *>(data);
    record.pixel.u.num_bits = static_cast<int8_t>(bits);
  } else {
    record.pixel.raw = data;
  }
  record.owns_pixels = 0;
  return tarvel::Image(record);
}

}  // namespace

PlaneView PlaneOf(const tarvel::Image &image, int depth) {
  PlaneView plane;
  plane.data = image.data();
  plane.bytes_per_sample = static_cast<int>(image.bytes_per_pixel());
  plane.significant_bits = image.significant_bits();
  if (image.kind() == INT4_IMAGE && depth > 16 && depth < 32) plane.significant_bits = depth;
  plane.width = image.width();
  plane.height = image.height();
  return plane;
}

std::vector<PlaneView> FramePlanes(const std::vector<tarvel::Image> &images, int depth) {
  if (images.size() != 1 && images.size() != 3 && images.size() != 4) return {};
  const size_t shown = images.size() == 1 ? 1 : 3;
  std::vector<PlaneView> planes;
  for (size_t c = 0; c < shown; ++c) {
    const tarvel::Image &image = images[c];
    if (image.data() == nullptr || image.width() <= 0 || image.height() <= 0) return {};
    if (image.kind() != BYTE_IMAGE && image.kind() != UINT2_IMAGE &&
        !(image.kind() == INT4_IMAGE && shown == 1)) {
      return {};
    }
    planes.push_back(PlaneOf(image, depth));
  }
  return planes;
}

bool WriteFramePng(const std::string &path, const std::vector<tarvel::Image> &images, int depth,
                   std::string *error) {
  if (FramePlanes(images, depth).empty()) {
    *error = "cannot show " + std::to_string(images.size()) + " images of these kinds as PNG";
    return false;
  }
  if (images.size() == 1 && images[0].kind() == INT4_IMAGE) {
    const tarvel::Image &image = images[0];
    std::vector<uint16_t> samples = To16Bit(PlaneOf(image, depth));
    tarvel::Image reduced =
        Borrowed(UINT2_IMAGE, image.width(), image.height(), samples.data(), 16);
    return tarvel::WritePng(path, {&reduced}, error);
  }
  std::vector<const tarvel::Image *> channels;
  for (size_t c = 0; c < (images.size() == 1 ? 1u : 3u); ++c) channels.push_back(&images[c]);
  return tarvel::WritePng(path, channels, error);
}

bool WritePlanesPng(const std::string &path, const std::vector<PlaneView> &planes,
                    std::string *error) {
  if (planes.size() != 1 && planes.size() != 3) {
    *error = "cannot show " + std::to_string(planes.size()) + " planes as PNG";
    return false;
  }
  std::vector<std::vector<uint16_t>> reduced;
  reduced.reserve(planes.size());
  std::vector<tarvel::Image> images;
  for (const PlaneView &plane : planes) {
    void *data = const_cast<void *>(plane.data);
    if (plane.bytes_per_sample == 1) {
      images.push_back(Borrowed(BYTE_IMAGE, plane.width, plane.height, data, 8));
    } else if (plane.bytes_per_sample == 2) {
      images.push_back(
          Borrowed(UINT2_IMAGE, plane.width, plane.height, data, plane.significant_bits));
    } else {
      reduced.push_back(To16Bit(plane));
      images.push_back(Borrowed(UINT2_IMAGE, plane.width, plane.height, reduced.back().data(), 16));
    }
  }
  std::vector<const tarvel::Image *> channels;
  for (const tarvel::Image &image : images) channels.push_back(&image);
  return tarvel::WritePng(path, channels, error);
}

bool WriteSheetPng(const std::string &path, const SheetImage &sheet, std::string *error) {
  std::vector<tarvel::Image> planes;
  for (const std::vector<uint8_t> &plane : sheet.planes) {
    planes.push_back(
        Borrowed(BYTE_IMAGE, sheet.width, sheet.height, const_cast<uint8_t *>(plane.data()), 8));
  }
  std::vector<const tarvel::Image *> channels;
  for (const tarvel::Image &plane : planes) channels.push_back(&plane);
  return tarvel::WritePng(path, channels, error);
}

}  // namespace grabline::tool
