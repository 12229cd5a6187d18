// Parsing the system file. Every line is checked completely before it is
// accepted; the first fault refuses the whole file, naming its line.
#include "model/system_file.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

#include "model/text_parse.hpp"

namespace bfsim::model {
namespace {

constexpr size_t kMaxModel = 31;

// A board line as it is read. The kinds are checked only once the whole line
// is read, as they depend on the family, which may come after them.
struct BoardLine {
  BoardConfig &board;
  std::string_view kinds;
};

// Stores one key's value; returns an error text, or "" when it was taken.
using ParseValue = std::string (*)(std::string_view key, std::string_view value, BoardLine &line);

struct BoardKey {
  std::string_view name;
  ParseValue parse;
  bool required = false;
  // Sets the field when the line leaves the key out; runs once the family is known.
  void (*absent)(BoardConfig &board) = nullptr;
};

template <uint32_t BoardConfig::*kField>
std::string Number(std::string_view key, std::string_view value, BoardLine &line) {
  auto number = ParseNumber(value);
  if (!number) return std::string(key) + " " + Quote(value) + " is not a 32-bit number";
  line.board.*kField = *number;
  return "";
}

template <uint32_t BoardConfig::*kField, uint32_t kLow, uint32_t kHigh>
std::string NumberFrom(std::string_view key, std::string_view value, BoardLine &line) {
  auto number = ParseNumber(value);
  if (!number || *number < kLow || *number > kHigh) {
    return std::string(key) + " must be from " + std::to_string(kLow) + " to " +
           std::to_string(kHigh);
  }
  line.board.*kField = *number;
  return "";
}

template <bool BoardConfig::*kField>
std::string YesNo(std::string_view key, std::string_view value, BoardLine &line) {
  auto yes = ParseYesNo(value);
  if (!yes) return std::string(key) + " must be yes or no";
  line.board.*kField = *yes;
  return "";
}

std::string Family(std::string_view, std::string_view value, BoardLine &line) {
  static constexpr std::pair<std::string_view, uint32_t> kFamilies[] = {
      {"RoadRunner", kFamilyRoadRunner},
      {"Raven", kFamilyRaven},
      {"R64", kFamilyR64},
      {"Gn2", kFamilyGn2}};
  for (const auto &[name, family] : kFamilies) {
    if (EqualNoCase(value, name)) {
      line.board.family = family;
      return "";
    }
  }
  return "family " + Quote(value) + " is not RoadRunner, Raven, R64 or Gn2";
}

std::string Model(std::string_view, std::string_view value, BoardLine &line) {
  if (value.size() > kMaxModel) return "model is longer than 31 characters";
  line.board.model = value;
  return "";
}

std::string Kinds(std::string_view, std::string_view value, BoardLine &line) {
  line.kinds = value;
  return "";
}

std::string Camera(std::string_view, std::string_view value, BoardLine &line) {
  line.board.camera = value;
  return "";
}

std::string Link(std::string_view, std::string_view value, BoardLine &line) {
  if (EqualNoCase(value, "full")) {
    line.board.link_full_speed = true;
  } else if (EqualNoCase(value, "reduced")) {
    line.board.link_full_speed = false;
  } else {
    return "link must be full or reduced";
  }
  return "";
}

std::string Lut(std::string_view, std::string_view value, BoardLine &line) {
  if (EqualNoCase(value, "yes")) {
    line.board.lut = LutSupport::kFull;
  } else if (EqualNoCase(value, "no")) {
    line.board.lut = LutSupport::kNone;
  } else if (EqualNoCase(value, "no14")) {
    line.board.lut = LutSupport::kNo14;
  } else {
    return "lut must be yes, no or no14";
  }
  return "";
}

std::string Firmware(std::string_view, std::string_view value, BoardLine &line) {
  return ParseFirmwareList(value, line.board.firmware);
}

void TriggerAnyByFamily(BoardConfig &board) {
  board.trigger_any_camera = board.family == kFamilyRoadRunner || board.family == kFamilyRaven;
}

void TimingByFamily(BoardConfig &board) {
  board.timing_generator = board.family == kFamilyR64 || board.family == kFamilyGn2;
}

// The keys of a board line. The required ones are reported missing in this order.
constexpr BoardKey kBoardKeys[] = {
    {.name = "family", .parse = Family, .required = true},
    {.name = "model", .parse = Model, .required = true},
    {"code", Number<&BoardConfig::model_code>},
    {"kinds", Kinds},
    {"ports", NumberFrom<&BoardConfig::ports, 1, kMaxPorts>},
    {"switch", Number<&BoardConfig::switch_number>},
    {"connector", Number<&BoardConfig::connector>},
    {"camera", Camera},
    {.name = "trigger_any",
     .parse = YesNo<&BoardConfig::trigger_any_camera>,
     .absent = TriggerAnyByFamily},
    {"link", Link},
    {"held", YesNo<&BoardConfig::held_elsewhere>},
    {"host_qtabs", YesNo<&BoardConfig::host_qtabs>},
    {"gpout", Number<&BoardConfig::gpout>},
    {"vfg", NumberFrom<&BoardConfig::vfg, 0, kMaxVfg>},
    {"connected", YesNo<&BoardConfig::camera_connected>},
    {"lut", Lut},
    {.name = "timing", .parse = YesNo<&BoardConfig::timing_generator>, .absent = TimingByFamily},
    {"firmware", Firmware},
};
constexpr size_t kKeyCount = std::size(kBoardKeys);

// The kinds flags, each allowed only on the families it names.
std::string ParseKinds(std::string_view kinds, BoardConfig &board) {
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
  return "";
}

// Parses one board line (comment already removed). Returns an error text
// without the line prefix, or "" when `board` was filled.
std::string ParseBoardLine(std::string_view line, BoardConfig &board) {
  BoardLine read{board, {}};
  bool seen[kKeyCount] = {};

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
    size_t key = 0;
    while (key < kKeyCount && kBoardKeys[key].name != name) ++key;
    if (key == kKeyCount) return "unknown key " + Quote(name);
    if (seen[key]) return "key " + Quote(name) + " given twice";
    seen[key] = true;
    std::string why = kBoardKeys[key].parse(name, word.substr(eq + 1), read);
    if (!why.empty()) return why;
  }
  for (size_t key = 0; key < kKeyCount; ++key) {
    if (!seen[key] && kBoardKeys[key].required) return "no " + std::string(kBoardKeys[key].name);
  }
  std::string why = ParseKinds(read.kinds, board);
  if (!why.empty()) return why;
  for (size_t key = 0; key < kKeyCount; ++key) {
    if (!seen[key] && kBoardKeys[key].absent != nullptr) kBoardKeys[key].absent(board);
  }
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
