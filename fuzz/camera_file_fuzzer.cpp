// The simulator's camera-file parser: any text is answered with a camera or
// with an error naming a line, never with a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bfsim_control.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 70000) return -1;
  bfsim::CameraDesc camera;
  const std::string error =
      bfsim::ParseCamera(std::string_view(reinterpret_cast<const char *>(data), size), &camera);
  // An accepted camera's frames are drawn as a board would deliver them.
  if (error.empty() && uint64_t{camera.width} * camera.height * camera.bytes_per_pixel <= 1 << 20) {
    bfsim::ExpectedFrame(camera, 1);
  }
  return 0;
}
