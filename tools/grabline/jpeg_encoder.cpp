#include "jpeg_encoder.hpp"

#include <turbojpeg.h>

namespace grabline::tool {

JpegEncoder::JpegEncoder(int quality) : handle_(tjInitCompress()), quality_(quality) {}

JpegEncoder::~JpegEncoder() {
  if (handle_ != nullptr) tjDestroy(handle_);
}

bool JpegEncoder::Encode(const DisplayImage &image, std::string *jpeg, std::string *error) {
  if (handle_ == nullptr) {
    *error = "the JPEG encoder could not be set up";
    return false;
  }
  if (image.width <= 0 || image.height <= 0 || (image.channels != 1 && image.channels != 3) ||
      image.pixels.size() != size_t(image.width) * size_t(image.height) * size_t(image.channels)) {
    *error = "no image to encode";
    return false;
  }
  const bool gray = image.channels == 1;
  unsigned char *out = nullptr;
  unsigned long size = 0;
  // Full colour resolution: small cameras are shown enlarged, where halved colour
  // would smear their edges.
  const int failed = tjCompress2(handle_, image.pixels.data(), image.width, 0, image.height,
                                 gray ? TJPF_GRAY : TJPF_RGB, &out, &size,
                                 gray ? TJSAMP_GRAY : TJSAMP_444, quality_, TJFLAG_FASTDCT);
  if (failed != 0) {
    *error = tjGetErrorStr2(handle_);
  } else {
    jpeg->assign(reinterpret_cast<const char *>(out), size);
  }
  tjFree(out);
  return failed == 0;
}

}  // namespace grabline::tool
