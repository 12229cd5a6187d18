#include "summary.hpp"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace grabline::tool {
namespace {

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.*f", decimals, value);
  return buffer;
}

// "1 error", "2 errors".
std::string Counted(uint64_t count, const char *one, const char *many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Figures rounded for reading; the raw counts stay exact.
double Rounded(double value, double scale) { return std::round(value * scale) / scale; }

}  // namespace

std::string FormatFrameTime(const FrameTime &time) {
  if (time.year == 0) return "";
  char buffer[48];
  std::snprintf(buffer, sizeof(buffer), "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned(time.year),
                unsigned(time.month), unsigned(time.day), unsigned(time.hour),
                unsigned(time.minute), unsigned(time.second), unsigned(time.msec));
  return buffer;
}

std::string SummaryText(const GrabSummary &s) {
  const GrabCounts &c = s.counts;
  std::string text = Counted(c.frames, "frame", "frames");
  if (s.frames_asked > 0 && c.frames != s.frames_asked) {
    text += " of " + std::to_string(s.frames_asked);
  }
  text += " in " + Fixed(s.seconds, 2) + " s: " + Fixed(PerSecond(double(c.frames), s.seconds), 1) +
          " fps, " + Fixed(PerSecond(double(c.bytes), s.seconds) / 1e6, 2) + " MB/s, " +
          std::to_string(c.dropped) + " dropped, " + Counted(c.timeouts, "time-out", "time-outs") +
          ", " + Counted(c.errors, "error", "errors");
  if (c.saved > 0) text += "; " + std::to_string(c.saved) + " PNG in " + s.out_dir;
  if (!s.contact_sheet.empty()) text += ", contact sheet " + s.contact_sheet;
  if (!s.first_time.empty()) text += "; frames " + s.first_time + " to " + s.last_time;
  if (s.pulses) text += "; " + Counted(*s.pulses, "trigger pulse", "trigger pulses");
  return text;
}

std::string SummaryJson(const GrabSummary &s) {
  const GrabCounts &c = s.counts;
  // Keys in the order people read them; absent figures are null.
  using Json = nlohmann::ordered_json;
  const auto text_or_null = [](const std::string &text) {
    return text.empty() ? Json() : Json(text);
  };
  Json json;
  json["ok"] = s.error.empty();
  json["interface"] = s.interface;
  json["device"] = s.device;
  json["camera"] = s.camera;
  json["mode"] = s.mode;
  json["trigger"] = s.trigger;
  json["pulses"] = s.pulses ? Json(*s.pulses) : Json();
  json["frames"] = c.frames;
  json["frames_asked"] = s.frames_asked > 0 ? Json(s.frames_asked) : Json();
  json["seconds"] = Rounded(s.seconds, 1e3);
  json["fps"] = Rounded(PerSecond(double(c.frames), s.seconds), 1e2);
  json["mb_per_s"] = Rounded(PerSecond(double(c.bytes), s.seconds) / 1e6, 1e2);
  json["bytes"] = c.bytes;
  json["dropped"] = c.dropped;
  json["timeouts"] = c.timeouts;
  json["errors"] = c.errors;
  json["saved"] = c.saved;
  json["width"] = s.width;
  json["height"] = s.height;
  json["channels"] = s.channels;
  json["bits"] = s.bits;
  json["out"] = s.out_dir;
  json["contact_sheet"] = text_or_null(s.contact_sheet);
  json["first_frame_time"] = s.first_time;
  json["last_frame_time"] = s.last_time;
  json["error"] = text_or_null(s.error);
  // Whatever the plug-in or the user gave comes out as valid JSON: bytes
  // that are not UTF-8 become U+FFFD; non-finite numbers become null.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace grabline::tool
