// The serial camera's command set.
#include "model/serial_camera.hpp"

#include <charconv>
#include <optional>

namespace bfsim::model {
namespace {

constexpr std::string_view kIdentity = "GRABLINE-SIM-CAM";
constexpr std::string_view kEnd = "\r\n";

// The whole word as a decimal number of at most seven digits.
std::optional<uint32_t> ParseValue(std::string_view word) {
  if (word.empty() || word.size() > 7) return std::nullopt;
  uint32_t value = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

std::string Line(std::string_view text) {
  std::string answer(text);
  answer.append(kEnd);
  return answer;
}

// "KEY value": sets `field` when the value lies in [low, high].
std::string SetValue(std::string_view word, uint32_t low, uint32_t high, uint32_t &field) {
  std::optional<uint32_t> value = ParseValue(word);
  if (!value || *value < low || *value > high) return Line("ERR VALUE");
  field = *value;
  return Line("OK");
}

}  // namespace

void SerialCamera::Receive(uint8_t byte, std::string &answers) {
  if (byte == '\n') return;  // a line may end in CR LF
  if (byte != '\r') {
    if (line_.size() < kMaxLine) {
      line_.push_back(static_cast<char>(byte));
    } else {
      overlong_ = true;
    }
    return;
  }
  if (overlong_) {
    answers.append(Line("ERR LONG"));
  } else if (!line_.empty()) {
    answers.append(Answer(line_));
  }
  line_.clear();
  overlong_ = false;
}

std::string SerialCamera::Answer(std::string_view line) {
  const size_t blank = line.find(' ');
  const std::string_view key = line.substr(0, blank);
  std::string_view rest = blank == std::string_view::npos ? "" : line.substr(blank + 1);
  if (key == "ECHO") return Line(rest);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const bool query = blank == std::string_view::npos;
  if (query && key == "ID?") return Line(kIdentity);
  if (query && key == "EXP?") return Line(std::to_string(exposure_us_));
  if (query && key == "GAIN?") return Line(std::to_string(gain_));
  if (!query && key == "EXP") return SetValue(rest, kMinExposure, kMaxExposure, exposure_us_);
  if (!query && key == "GAIN") return SetValue(rest, kMinGain, kMaxGain, gain_);
  return Line("ERR UNKNOWN");
}

}  // namespace bfsim::model
