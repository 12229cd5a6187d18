// firmware.hpp — the firmware images a board carries and the one it runs,
// and the numbers the SDK reports of its own version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bfsim::model {

struct Board;
struct BoardConfig;

// Firmware file names are kept within what a flash request can carry.
inline constexpr size_t kMaxFirmwareName = 1023;
inline constexpr size_t kMaxFirmwareFiles = 8;

// What a board does with its firmware; lives with the board until the
// system is replaced, across opens, as flashed firmware would.
struct FirmwareState {
  std::string current;   // "" until the first switch: the first listed file
  uint32_t refusal = 0;  // non-zero: flash requests fail with this SDK code
};

// The files the system file lists for the board, or the one image a board
// without a list carries: "<model>.fw".
std::vector<std::string> FirmwareFiles(const BoardConfig &config);
std::string CurrentFirmware(const Board &board);

enum class FlashOutcome : uint8_t { kSwitched, kNotSwitchable, kUnknownFile, kRefused };
// Switches the board to `file` (a bare file name or a path ending in one of
// the board's files, '\\' or '/' separated).
FlashOutcome FlashRequest(Board &board, std::string_view file);

// Parses the system file's "firmware=" value: comma-separated names without
// blanks. Returns an error text, "" when `files` was filled.
std::string ParseFirmwareList(std::string_view list, std::vector<std::string> &files);

// ---- the SDK's version --------------------------------------------------------
struct SdkNumbers {
  uint32_t major = 0;  // bit 31: a debug build
  uint32_t minor = 0;
  uint32_t build = 0;
};
// The numbers of this library's SDK version until SetSdkNumbers changes them.
SdkNumbers DefaultSdkNumbers();
SdkNumbers CurrentSdkNumbers();
void SetSdkNumbers(const SdkNumbers &numbers);

}  // namespace bfsim::model
