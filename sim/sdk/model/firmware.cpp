#include "model/firmware.hpp"

#include <mutex>

#include "bfsim_control.hpp"
#include "model/board.hpp"
#include "model/text_parse.hpp"

namespace bfsim::model {

std::vector<std::string> FirmwareFiles(const BoardConfig &config) {
  if (!config.firmware.empty()) return config.firmware;
  return {config.model + ".fw"};
}

std::string CurrentFirmware(const Board &board) {
  if (!board.firmware.current.empty()) return board.firmware.current;
  return FirmwareFiles(board.config).front();
}

FlashOutcome FlashRequest(Board &board, std::string_view file) {
  if (!board.config.neon_switchable) return FlashOutcome::kNotSwitchable;
  if (board.firmware.refusal != 0) return FlashOutcome::kRefused;
  // The driver looks the file up in its firmware folder: only the last
  // component of a path names it.
  const size_t slash = file.find_last_of("\\/");
  const std::string_view name = slash == std::string_view::npos ? file : file.substr(slash + 1);
  for (const std::string &known : FirmwareFiles(board.config)) {
    if (known == name) {
      board.firmware.current = known;
      return FlashOutcome::kSwitched;
    }
  }
  return FlashOutcome::kUnknownFile;
}

std::string ParseFirmwareList(std::string_view list, std::vector<std::string> &files) {
  files.clear();
  while (true) {
    const std::string_view name = list.substr(0, list.find(','));
    if (name.empty()) return "firmware names must not be empty";
    if (name.size() > kMaxFirmwareName) return "a firmware name is longer than 1023 characters";
    if (files.size() == kMaxFirmwareFiles) return "more than 8 firmware files";
    for (const std::string &known : files) {
      if (known == name) return "firmware " + Quote(name) + " listed twice";
    }
    files.emplace_back(name);
    if (name.size() == list.size()) return "";
    list.remove_prefix(name.size() + 1);
  }
}

namespace {

struct Numbers {
  std::mutex lock;
  SdkNumbers numbers = DefaultSdkNumbers();
};

Numbers &TheNumbers() {
  static Numbers numbers;
  return numbers;
}

}  // namespace

SdkNumbers DefaultSdkNumbers() {
  switch (bfsim::Version()) {
    case bfsdk::SdkVersion::kXl:
      return {6, 0x40, 3117};
    case bfsdk::SdkVersion::kPar:
      return {5, 0x80, 2458};
    case bfsdk::SdkVersion::kStandard:
      break;
  }
  return {5, 0x60, 2126};
}

SdkNumbers CurrentSdkNumbers() {
  Numbers &n = TheNumbers();
  std::lock_guard guard(n.lock);
  return n.numbers;
}

void SetSdkNumbers(const SdkNumbers &numbers) {
  Numbers &n = TheNumbers();
  std::lock_guard guard(n.lock);
  n.numbers = numbers;
}

}  // namespace bfsim::model
