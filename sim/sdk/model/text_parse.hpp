// text_parse.hpp — the small bounded pieces the simulator's text formats
// (system file, camera files) are parsed with.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bfsim::model {

inline constexpr size_t kShownChars = 32;  // of a bad word, in an error text

// A word quoted for an error text, cut so that texts stay short.
inline std::string Quote(std::string_view word) {
  std::string s = "'";
  s.append(word.substr(0, kShownChars));
  if (word.size() > kShownChars) s.append("...");
  s.append("'");
  return s;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Decimal or 0x-prefixed hexadecimal, the whole word, fitting 32 bits.
inline std::optional<uint32_t> ParseNumber(std::string_view word) {
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    word.remove_prefix(2);
    base = 16;
  }
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (ec != std::errc{} || end != word.data() + word.size() || word.empty()) return std::nullopt;
  return value;
}

inline std::optional<bool> ParseYesNo(std::string_view word) {
  if (EqualNoCase(word, "yes")) return true;
  if (EqualNoCase(word, "no")) return false;
  return std::nullopt;
}

inline std::string_view Trim(std::string_view s) {
  size_t start = s.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  size_t end = s.find_last_not_of(" \t");
  return s.substr(start, end - start + 1);
}

// Cuts the next line (without its '\n', '\r' or comment) off `text`. Returns
// an error text when the line is too long or holds control characters.
inline std::string NextLine(std::string_view &text, size_t max_line, std::string_view &line) {
  line = text.substr(0, text.find('\n'));
  text.remove_prefix(std::min(text.size(), line.size() + 1));
  if (line.size() > max_line) return "longer than " + std::to_string(max_line) + " characters";
  line = line.substr(0, line.find('#'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return "control character in the line";
  }
  return "";
}

}  // namespace bfsim::model
