// summary.hpp — the end of a grab in one line of text or one JSON object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "progress.hpp"

namespace grabline::tool {

// Acquisition time of a frame as the host's image records carry it.
struct FrameTime {
  uint16_t year = 0;  // 0: no time
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint16_t msec = 0;
};
// "2024-12-08 06:43:12.345", or "" when the frame carries no time.
std::string FormatFrameTime(const FrameTime &time);

struct GrabSummary {
  std::string interface;
  std::string device;
  std::string camera;
  std::string mode;
  std::string trigger = "camera";  // camera (as the camera file says), software, external
  std::optional<uint64_t> pulses;  // trigger pulses the tool sent, when it sent any
  GrabCounts counts;
  uint64_t frames_asked = 0;  // 0: a duration was asked instead
  double seconds = 0;
  int32_t width = 0;  // of the last delivered frame
  int32_t height = 0;
  int32_t channels = 0;
  int32_t bits = 0;
  std::string out_dir;
  std::string contact_sheet;  // "" when none was written
  std::string first_time;
  std::string last_time;
  std::string error;  // "" when the grab succeeded
};

std::string SummaryText(const GrabSummary &summary);
std::string SummaryJson(const GrabSummary &summary);

}  // namespace grabline::tool
