// jpeg_encoder.hpp — shown frames as JPEG, the one format every browser streams.
#pragma once

#include <string>
#include <vector>

#include "live_frame.hpp"

namespace grabline::tool {

class JpegEncoder {
 public:
  explicit JpegEncoder(int quality = 90);
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder &) = delete;
  JpegEncoder &operator=(const JpegEncoder &) = delete;

  // The image as a JPEG file's bytes; false with the library's reason.
  bool Encode(const DisplayImage &image, std::string *jpeg, std::string *error);

 private:
  void *handle_;
  int quality_;
};

}  // namespace grabline::tool
