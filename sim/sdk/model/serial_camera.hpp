// serial_camera.hpp — the camera at the far end of a board's serial line. It
// gathers received bytes into command lines ended by CR and answers each
// line at once (command set in cameras/README.md, "Serial camera").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bfsim::model {

class SerialCamera {
 public:
  static constexpr size_t kMaxLine = 64;  // longer command lines are answered "ERR LONG"
  static constexpr uint32_t kMinExposure = 10;
  static constexpr uint32_t kMaxExposure = 1'000'000;
  static constexpr uint32_t kMinGain = 1;
  static constexpr uint32_t kMaxGain = 16;

  // One received byte; a completed command line appends its answer.
  void Receive(uint8_t byte, std::string &answers);

  uint32_t exposure_us() const { return exposure_us_; }
  uint32_t gain() const { return gain_; }

 private:
  std::string Answer(std::string_view line);

  std::string line_;
  bool overlong_ = false;
  uint32_t exposure_us_ = 1000;
  uint32_t gain_ = 1;
};

}  // namespace bfsim::model
