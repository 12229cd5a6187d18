// Camera files. Each line is checked completely before it is accepted; the
// keys that depend on each other are checked once the whole text is read, and
// a fault names the line of the key that does not fit.
#include "model/camera.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "model/pattern.hpp"
#include "model/text_parse.hpp"

namespace bfsim::model {
namespace {

constexpr size_t kMaxPath = 4095;
constexpr uint32_t kMaxTimeout = 0x7FFFFFFF;
// The limits keep every frame's byte count, and so the inquiry that reports
// it, within 32 bits.
static_assert(uint64_t{kMaxWidth} * kMaxHeight * kMaxBytesPerPixel <= UINT32_MAX);

enum Key {
  kWidth,
  kHeight,
  kDepth,
  kBytes,
  kDepth2,
  kBytes2,
  kColorSpace,
  kTriggerMode,
  kTriggerA,
  kTriggerB,
  kTriggerC,
  kFrameRate,
  kTimeout,
  kInterlace,
  kStartStop,
  kKeyCount
};
constexpr std::string_view kNames[] = {"width",           "height",       "depth",
                                       "bytes_per_pixel", "depth2",       "bytes_per_pixel2",
                                       "color_space",     "trigger_mode", "trigger_a",
                                       "trigger_b",       "trigger_c",    "frame_rate",
                                       "timeout",         "interlace",    "start_stop_lines"};
static_assert(std::size(kNames) == kKeyCount, "one name per key");

struct Parsed {
  Camera camera;
  size_t line_of[kKeyCount] = {};  // 0: key not given
  std::optional<bool> color;
};

std::string Range(Key key, uint32_t low, uint32_t high) {
  return std::string(kNames[key]) + " must be from " + std::to_string(low) + " to " +
         std::to_string(high);
}

std::string ParseLines(std::string_view value, std::vector<uint32_t> &lines) {
  while (true) {
    size_t comma = value.find(',');
    std::string_view word = Trim(value.substr(0, comma));
    auto number = ParseNumber(word);
    if (!number || *number == 0 || *number > kMaxHeight) {
      return "start_stop_lines entry " + Quote(word) + " is not a line count from 1 to 32767";
    }
    if (lines.size() == kMaxStartStopEntries) return "start_stop_lines has more than 64 entries";
    lines.push_back(*number);
    if (comma == std::string_view::npos) return "";
    value.remove_prefix(comma + 1);
  }
}

std::string ParseValue(Key key, std::string_view value, Parsed &p) {
  Camera &c = p.camera;
  if (key == kColorSpace) {
    if (EqualNoCase(value, "gray")) {
      p.color = false;
    } else if (EqualNoCase(value, "rgb")) {
      p.color = true;
    } else {
      return "color_space must be gray or rgb";
    }
    return "";
  }
  if (key == kStartStop) return ParseLines(value, c.start_stop_lines);
  auto number = ParseNumber(value);
  if (!number) return std::string(kNames[key]) + " " + Quote(value) + " is not a 32-bit number";
  const uint32_t n = *number;
  switch (key) {
    case kWidth:
      if (n < 1 || n > kMaxWidth) return Range(key, 1, kMaxWidth);
      c.width = n;
      break;
    case kHeight:
      if (n < 1 || n > kMaxHeight) return Range(key, 1, kMaxHeight);
      c.height = n;
      break;
    case kDepth:
    case kDepth2:
      if (!ValidDepth(n)) return std::string(kNames[key]) + " must be 1 to 32 or 36";
      (key == kDepth ? c.depth : c.depth2) = n;
      break;
    case kBytes:
    case kBytes2:
      if (n < 1 || n > kMaxBytesPerPixel) return Range(key, 1, kMaxBytesPerPixel);
      (key == kBytes ? c.bytes_per_pixel : c.bytes_per_pixel2) = n;
      break;
    case kTriggerMode:
      if (n != 0 && n != 2 && n != 3 && n != 6 && n != 7 && n != 8) {
        return "trigger_mode must be 0, 2, 3, 6, 7 or 8";
      }
      c.trigger_mode = n;
      break;
    case kTriggerA:
      c.trig_a = n;
      break;
    case kTriggerB:
      c.trig_b = n;
      break;
    case kTriggerC:
      c.trig_c = n;
      break;
    case kFrameRate:
      if (n < 1 || n > kMaxFrameRate) return Range(key, 1, kMaxFrameRate);
      c.frame_rate = n;
      break;
    case kTimeout:
      if (n < 1 || n > kMaxTimeout) return Range(key, 1, kMaxTimeout);
      c.timeout_ms = n;
      break;
    case kInterlace:
      if (n != 1 && n != 2) return "interlace must be 1 or 2";
      c.interlace = n;
      break;
    default:
      break;
  }
  return "";
}

// Bytes a pixel of `depth` takes: as given (at least what the layout needs),
// or what the layout needs.
std::string PixelBytes(Key key, uint32_t depth, bool color_camera, bool given, uint32_t &bytes) {
  const uint32_t natural = NaturalBytes(depth, IsColorDepth(depth, color_camera));
  if (!given) {
    bytes = natural;
  } else if (bytes < natural) {
    return std::string(kNames[key]) + " must be from " + std::to_string(natural) +
           " to 8 for depth " + std::to_string(depth);
  }
  return "";
}

// The checks between keys. Returns the line at fault (0: the end of the
// text) and the reason, or an empty reason.
std::pair<size_t, std::string> CheckTogether(Parsed &p) {
  Camera &c = p.camera;
  for (Key key : {kWidth, kHeight, kDepth}) {
    if (p.line_of[key] == 0) return {0, "no " + std::string(kNames[key])};
  }
  const bool wide = c.depth == 24 || c.depth == 30 || c.depth == 32 || c.depth == 36;
  if (p.color && *p.color && !wide) {
    return {p.line_of[kColorSpace], "color_space rgb needs depth 24, 30, 32 or 36"};
  }
  if (p.color && !*p.color && wide && c.depth != 32) {
    return {p.line_of[kColorSpace],
            "color_space gray does not fit depth " + std::to_string(c.depth)};
  }
  c.color = p.color.value_or(wide);

  std::string why = PixelBytes(kBytes, c.depth, c.color, p.line_of[kBytes] != 0, c.bytes_per_pixel);
  if (!why.empty()) return {p.line_of[kBytes], why};
  if (p.line_of[kDepth2] == 0) c.depth2 = c.depth;
  if (p.line_of[kBytes2] == 0 && p.line_of[kDepth2] == 0) {
    c.bytes_per_pixel2 = c.bytes_per_pixel;
  } else {
    why = PixelBytes(kBytes2, c.depth2, c.color, p.line_of[kBytes2] != 0, c.bytes_per_pixel2);
    if (!why.empty()) return {p.line_of[kBytes2], why};
  }

  const bool start_stop = c.trigger_mode == 7 || c.trigger_mode == 8;
  if (!c.start_stop_lines.empty() && !start_stop) {
    return {p.line_of[kStartStop], "start_stop_lines needs trigger_mode 7 or 8"};
  }
  return {0, ""};
}

}  // namespace

CameraText ParseCameraText(std::string_view text) {
  CameraText result;
  auto fail = [&result](size_t line_number, std::string_view why) {
    result.camera = Camera{};
    result.error =
        line_number == 0 ? "end of file: " : "line " + std::to_string(line_number) + ": ";
    result.error.append(why);
    return result;
  };
  if (text.size() > kMaxCameraFileBytes) return fail(1, "the file is longer than 65536 bytes");

  Parsed p;
  p.camera.frame_rate = 100;  // a camera file's default; the built-in camera runs slower
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    std::string_view line;
    std::string why = NextLine(text, kMaxCameraLine, line);
    if (!why.empty()) return fail(line_number, why);
    line = Trim(line);
    if (line.empty()) continue;
    size_t eq = line.find('=');
    std::string_view name = Trim(line.substr(0, eq));
    std::string_view value = eq == std::string_view::npos ? "" : Trim(line.substr(eq + 1));
    if (eq == std::string_view::npos || name.empty() || value.empty()) {
      return fail(line_number, Quote(line) + " is not a key = value line");
    }
    int key = 0;
    while (key < kKeyCount && kNames[key] != name) ++key;
    if (key == kKeyCount) return fail(line_number, "unknown key " + Quote(name));
    if (p.line_of[key] != 0) return fail(line_number, "key " + Quote(name) + " given twice");
    p.line_of[key] = line_number;
    why = ParseValue(static_cast<Key>(key), value, p);
    if (!why.empty()) return fail(line_number, why);
  }
  auto [at, why] = CheckTogether(p);
  if (!why.empty()) return fail(at, why);
  result.camera = std::move(p.camera);
  return result;
}

Status LoadCamera(std::string_view name, Camera &camera, std::string &error) {
  error.clear();
  if (name.empty() || name == "default") {
    camera = Camera{};
    return Status::kOk;
  }
  if (name.size() > kMaxPath) {
    error = "camera file name longer than 4095 characters";
    return Status::kNoCamera;
  }
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    error = path + ": cannot be read";
    return Status::kNoCamera;
  }
  std::string text(kMaxCameraFileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) {
    error = path + ": cannot be read";
    return Status::kNoCamera;
  }
  CameraText parsed = ParseCameraText(text);
  if (!parsed.error.empty()) {
    error = path + ": " + parsed.error;
    return Status::kNoCamera;
  }
  camera = std::move(parsed.camera);
  camera.file = path;
  return Status::kOk;
}

}  // namespace bfsim::model
