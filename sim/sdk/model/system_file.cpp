// Parsing the system file. Every line is checked completely before it is
// accepted; the first fault refuses the whole file, naming its line.
#include "model/system_file.hpp"

#include <optional>

#include "model/text_parse.hpp"

namespace bfsim::model {
namespace {

constexpr size_t kMaxModel = 31;

// Parses one board line (comment already removed). Returns an error text
// without the line prefix, or "" when `board` was filled.
std::string ParseBoardLine(std::string_view line, BoardConfig &board) {
  enum Key {
    kFamily,
    kModel,
    kCode,
    kKinds,
    kPorts,
    kSwitch,
    kConnector,
    kCamera,
    kTrigger,
    kLink,
    kHeld,
    kHostQTabs,
    kGpOut,
    kVfg,
    kConnected,
    kLut,
    kTiming,
    kFirmware,
    kKeyCount
  };
  static constexpr std::string_view kNames[kKeyCount] = {
      "family",    "model",  "code",        "kinds", "ports", "switch",
      "connector", "camera", "trigger_any", "link",  "held",  "host_qtabs",
      "gpout",     "vfg",    "connected",   "lut",   "timing",
      "firmware"};
  bool seen[kKeyCount] = {};
  std::optional<bool> trigger_any;
  std::optional<bool> timing;
  std::string_view kinds;

  while (!line.empty()) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    line.remove_prefix(start);
    std::string_view word = line.substr(0, line.find_first_of(" \t"));
    line.remove_prefix(word.size());

    size_t eq = word.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq + 1 == word.size()) {
      return Quote(word) + " is not a key=value word";
    }
    std::string_view name = word.substr(0, eq);
    std::string_view value = word.substr(eq + 1);
    int key = 0;
    while (key < kKeyCount && kNames[key] != name) ++key;
    if (key == kKeyCount) return "unknown key " + Quote(name);
    if (seen[key]) return "key " + Quote(name) + " given twice";
    seen[key] = true;

    switch (key) {
      case kFamily:
        if (EqualNoCase(value, "RoadRunner"))
          board.family = kFamilyRoadRunner;
        else if (EqualNoCase(value, "Raven"))
          board.family = kFamilyRaven;
        else if (EqualNoCase(value, "R64"))
          board.family = kFamilyR64;
        else if (EqualNoCase(value, "Gn2"))
          board.family = kFamilyGn2;
        else
          return "family " + Quote(value) + " is not RoadRunner, Raven, R64 or Gn2";
        break;
      case kModel:
        if (value.size() > kMaxModel) return "model is longer than 31 characters";
        board.model = value;
        break;
      case kCode: {
        auto code = ParseNumber(value);
        if (!code) return "code " + Quote(value) + " is not a 32-bit number";
        board.model_code = *code;
        break;
      }
      case kKinds:
        kinds = value;  // checked once the family is known
        break;
      case kPorts: {
        auto ports = ParseNumber(value);
        if (!ports || *ports < 1 || *ports > kMaxPorts) return "ports must be from 1 to 8";
        board.ports = *ports;
        break;
      }
      case kSwitch:
      case kConnector: {
        auto number = ParseNumber(value);
        if (!number) return std::string(name) + " " + Quote(value) + " is not a 32-bit number";
        (key == kSwitch ? board.switch_number : board.connector) = *number;
        break;
      }
      case kCamera:
        board.camera = value;
        break;
      case kTrigger:
        trigger_any = ParseYesNo(value);
        if (!trigger_any) return "trigger_any must be yes or no";
        break;
      case kLink:
        if (EqualNoCase(value, "full"))
          board.link_full_speed = true;
        else if (EqualNoCase(value, "reduced"))
          board.link_full_speed = false;
        else
          return "link must be full or reduced";
        break;
      case kHeld: {
        auto held = ParseYesNo(value);
        if (!held) return "held must be yes or no";
        board.held_elsewhere = *held;
        break;
      }
      case kHostQTabs:
      case kConnected: {
        auto yes = ParseYesNo(value);
        if (!yes) return std::string(name) + " must be yes or no";
        (key == kHostQTabs ? board.host_qtabs : board.camera_connected) = *yes;
        break;
      }
      case kGpOut: {
        auto bits = ParseNumber(value);
        if (!bits) return "gpout " + Quote(value) + " is not a 32-bit number";
        board.gpout = *bits;
        break;
      }
      case kLut:
        if (EqualNoCase(value, "yes"))
          board.lut = LutSupport::kFull;
        else if (EqualNoCase(value, "no"))
          board.lut = LutSupport::kNone;
        else if (EqualNoCase(value, "no14"))
          board.lut = LutSupport::kNo14;
        else
          return "lut must be yes, no or no14";
        break;
      case kTiming:
        timing = ParseYesNo(value);
        if (!timing) return "timing must be yes or no";
        break;
      case kFirmware: {
        std::string why = ParseFirmwareList(value, board.firmware);
        if (!why.empty()) return why;
        break;
      }
      case kVfg: {
        auto vfg = ParseNumber(value);
        if (!vfg || *vfg > kMaxVfg) return "vfg must be from 0 to 3";
        board.vfg = *vfg;
        break;
      }
    }
  }
  if (!seen[kFamily]) return "no family";
  if (!seen[kModel]) return "no model";

  while (!kinds.empty()) {
    std::string_view kind = kinds.substr(0, kinds.find(','));
    kinds.remove_prefix(std::min(kinds.size(), kind.size() + 1));
    bool r64_only = true;
    if (EqualNoCase(kind, "cl")) {
      board.camera_link = true;
      r64_only = false;
    } else if (EqualNoCase(kind, "karbon")) {
      board.karbon = true;
    } else if (EqualNoCase(kind, "neon")) {
      board.neon = true;
    } else if (EqualNoCase(kind, "neon_switchable")) {
      board.neon = board.neon_switchable = true;
    } else if (EqualNoCase(kind, "alta")) {
      board.alta = true;
    } else if (EqualNoCase(kind, "cxp")) {
      if (board.family != kFamilyGn2) return "kind 'cxp' needs family Gn2";
      board.cxp = true;
      r64_only = false;
    } else {
      return "unknown kind " + Quote(kind);
    }
    if (r64_only && board.family != kFamilyR64) return "kind " + Quote(kind) + " needs family R64";
  }
  board.trigger_any_camera =
      trigger_any.value_or(board.family == kFamilyRoadRunner || board.family == kFamilyRaven);
  board.timing_generator =
      timing.value_or(board.family == kFamilyR64 || board.family == kFamilyGn2);
  return "";
}

}  // namespace

SystemFile ParseSystemFile(std::string_view text) {
  SystemFile result;
  auto fail = [&result](size_t line_number, std::string_view why) {
    result.boards.clear();
    result.error = "line " + std::to_string(line_number) + ": ";
    result.error.append(why);
    return result;
  };
  if (text.size() > kMaxSystemFileBytes) return fail(1, "the file is longer than 65536 bytes");

  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    std::string_view line;
    std::string why = NextLine(text, kMaxSystemLine, line);
    if (!why.empty()) return fail(line_number, why);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;

    BoardConfig board;
    why = ParseBoardLine(line, board);
    if (!why.empty()) return fail(line_number, why);
    if (result.boards.size() == kMaxBoards) return fail(line_number, "more than 16 boards");
    result.boards.push_back(std::move(board));
  }
  return result;
}

std::vector<BoardConfig> DefaultSystem() {
  BoardConfig board;
  board.family = kFamilyR64;
  board.model = "R64-CL";
  board.model_code = 0x6401;
  board.camera_link = true;
  board.ports = 2;
  board.trigger_any_camera = false;
  return {board};
}

}  // namespace bfsim::model
