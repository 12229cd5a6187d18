// camera.hpp — what a camera file configures on a camera port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/status.hpp"

namespace bfsim::model {

// The camera attached to one port, as its camera file describes it. The
// defaults are the built-in free-running 8-bit camera.
struct Camera {
  std::string file;  // what was loaded ("" for the built-in camera)
  uint32_t width = 640;
  uint32_t height = 480;
  uint32_t interlace = 1;  // 2: each frame arrives as two fields
  uint32_t depth = 8;      // bits a pixel
  uint32_t bytes_per_pixel = 1;
  uint32_t depth2 = 8;  // the board's second depth
  uint32_t bytes_per_pixel2 = 1;
  uint32_t trigger_mode = 0;  // 0 free running, 2 one-shot, 3, 6, 7, 8
  uint32_t trig_a = 0;
  uint32_t trig_b = 0;
  uint32_t trig_c = 0;
  uint32_t frame_rate = 30;  // frames a second
  uint32_t timeout_ms = 5000;
};

// Loads a camera file. "default" and "" give the built-in camera. Paths may
// use '\' as separator (the plug-in writes them that way); a path that names
// no readable regular file gives kNoCamera.
Status LoadCamera(std::string_view name, Camera &camera);

}  // namespace bfsim::model
