// camera.hpp — what a camera file configures on a camera port (format in
// cameras/README.md, section "Camera files").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/status.hpp"

namespace bfsim::model {

inline constexpr size_t kMaxCameraFileBytes = 64 * 1024;
inline constexpr size_t kMaxCameraLine = 512;
inline constexpr uint32_t kMaxWidth = 16384;
inline constexpr uint32_t kMaxHeight = 32767;
inline constexpr uint32_t kMaxFrameRate = 100000;
inline constexpr size_t kMaxStartStopEntries = 64;

// The camera attached to one port. The defaults are the built-in
// free-running 8-bit camera.
struct Camera {
  std::string file;  // what was loaded ("" for the built-in camera)
  uint32_t width = 640;
  uint32_t height = 480;
  uint32_t interlace = 1;  // 2: each frame arrives as two fields
  uint32_t depth = 8;      // bits a pixel
  uint32_t bytes_per_pixel = 1;
  uint32_t depth2 = 8;  // the board's second depth
  uint32_t bytes_per_pixel2 = 1;
  bool color = false;         // 32-bit pixels are four colour components, not one gray value
  uint32_t trigger_mode = 0;  // 0 free running, 2 one-shot, 3, 6, 7, 8
  uint32_t trig_a = 0;
  uint32_t trig_b = 0;
  uint32_t trig_c = 0;
  uint32_t frame_rate = 30;  // frames a second
  uint32_t timeout_ms = 5000;
  std::vector<uint32_t> start_stop_lines;  // modes 7 and 8: line counts, cycled
};

struct CameraText {
  Camera camera;
  std::string error;  // "line N: ..." when the text was refused
};

CameraText ParseCameraText(std::string_view text);

// Loads a camera file. "default" and "" give the built-in camera. Paths may
// use '\' as separator (the plug-in writes them that way). A file that cannot
// be read or parsed gives kNoCamera and the reason in `error`.
Status LoadCamera(std::string_view name, Camera &camera, std::string &error);

}  // namespace bfsim::model
