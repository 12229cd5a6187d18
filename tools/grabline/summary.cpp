#include "summary.hpp"

#include <cmath>
#include <cstdio>

#include "json_writer.hpp"

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
  JsonWriter json;
  json.BeginObject();
  json.Key("ok").Bool(s.error.empty());
  json.Key("interface").String(s.interface);
  json.Key("device").String(s.device);
  json.Key("camera").String(s.camera);
  json.Key("mode").String(s.mode);
  json.Key("trigger").String(s.trigger);
  json.Key("pulses");
  if (s.pulses) {
    json.Uint(*s.pulses);
  } else {
    json.Null();
  }
  json.Key("frames").Uint(c.frames);
  json.Key("frames_asked");
  if (s.frames_asked > 0) {
    json.Uint(s.frames_asked);
  } else {
    json.Null();
  }
  json.Key("seconds").Double(Rounded(s.seconds, 1e3));
  json.Key("fps").Double(Rounded(PerSecond(double(c.frames), s.seconds), 1e2));
  json.Key("mb_per_s").Double(Rounded(PerSecond(double(c.bytes), s.seconds) / 1e6, 1e2));
  json.Key("bytes").Uint(c.bytes);
  json.Key("dropped").Uint(c.dropped);
  json.Key("timeouts").Uint(c.timeouts);
  json.Key("errors").Uint(c.errors);
  json.Key("saved").Uint(c.saved);
  json.Key("width").Int(s.width);
  json.Key("height").Int(s.height);
  json.Key("channels").Int(s.channels);
  json.Key("bits").Int(s.bits);
  json.Key("out").String(s.out_dir);
  json.Key("contact_sheet");
  if (s.contact_sheet.empty()) {
    json.Null();
  } else {
    json.String(s.contact_sheet);
  }
  json.Key("first_frame_time").String(s.first_time);
  json.Key("last_frame_time").String(s.last_time);
  json.Key("error");
  if (s.error.empty()) {
    json.Null();
  } else {
    json.String(s.error);
  }
  json.EndObject();
  return json.text();
}

}  // namespace grabline::tool
