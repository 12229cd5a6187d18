// Reads one flat JSON object (string, number, true, false and null members), as the
// tool prints its summary; anything else is refused.
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace grabline::testing {

struct JsonScalar {
  enum class Kind { kString, kNumber, kBool, kNull } kind = Kind::kNull;
  std::string text;  // strings unescaped (\uXXXX kept as written), numbers as written
  double number = 0;
  bool boolean = false;
};

using FlatJson = std::map<std::string, JsonScalar>;

namespace flat_json {

inline void SkipBlanks(std::string_view text, size_t *at) {
  while (*at < text.size() && std::isspace(static_cast<unsigned char>(text[*at]))) ++*at;
}

inline bool ReadString(std::string_view text, size_t *at, std::string *out) {
  if (*at >= text.size() || text[*at] != '"') return false;
  out->clear();
  for (++*at; *at < text.size(); ++*at) {
    const char c = text[*at];
    if (c == '"') {
      ++*at;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (++*at >= text.size()) return false;
    switch (text[*at]) {
      case '"':
        out->push_back('"');
        break;
      case '\\':
        out->push_back('\\');
        break;
      case '/':
        out->push_back('/');
        break;
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      case 't':
        out->push_back('\t');
        break;
      case 'b':
        out->push_back('\b');
        break;
      case 'f':
        out->push_back('\f');
        break;
      case 'u':
        if (*at + 4 >= text.size()) return false;
        out->append("\\u").append(text.substr(*at + 1, 4));
        *at += 4;
        break;
      default:
        return false;
    }
  }
  return false;
}

inline bool ReadScalar(std::string_view text, size_t *at, JsonScalar *out) {
  if (*at >= text.size()) return false;
  if (text[*at] == '"') {
    out->kind = JsonScalar::Kind::kString;
    return ReadString(text, at, &out->text);
  }
  for (auto [word, kind, value] : {std::tuple{"true", JsonScalar::Kind::kBool, true},
                                   std::tuple{"false", JsonScalar::Kind::kBool, false},
                                   std::tuple{"null", JsonScalar::Kind::kNull, false}}) {
    const std::string_view w = word;
    if (text.substr(*at, w.size()) == w) {
      out->kind = kind;
      out->boolean = value;
      out->text = w;
      *at += w.size();
      return true;
    }
  }
  const size_t begin = *at;
  while (*at < text.size() &&
         std::string_view("+-0123456789.eE").find(text[*at]) != std::string_view::npos) {
    ++*at;
  }
  if (*at == begin) return false;
  out->kind = JsonScalar::Kind::kNumber;
  out->text = std::string(text.substr(begin, *at - begin));
  char *end = nullptr;
  out->number = std::strtod(out->text.c_str(), &end);
  return end == out->text.c_str() + out->text.size();
}

}  // namespace flat_json

inline std::optional<FlatJson> ParseFlatJson(std::string_view text) {
  FlatJson object;
  size_t at = 0;
  flat_json::SkipBlanks(text, &at);
  if (at >= text.size() || text[at++] != '{') return std::nullopt;
  flat_json::SkipBlanks(text, &at);
  if (at < text.size() && text[at] == '}') return object;
  while (true) {
    std::string key;
    JsonScalar value;
    flat_json::SkipBlanks(text, &at);
    if (!flat_json::ReadString(text, &at, &key)) return std::nullopt;
    flat_json::SkipBlanks(text, &at);
    if (at >= text.size() || text[at++] != ':') return std::nullopt;
    flat_json::SkipBlanks(text, &at);
    if (!flat_json::ReadScalar(text, &at, &value) || object.count(key) != 0) return std::nullopt;
    object[key] = value;
    flat_json::SkipBlanks(text, &at);
    if (at >= text.size()) return std::nullopt;
    if (text[at] == '}') break;
    if (text[at++] != ',') return std::nullopt;
  }
  ++at;
  flat_json::SkipBlanks(text, &at);
  return at == text.size() ? std::optional<FlatJson>(object) : std::nullopt;
}

}  // namespace grabline::testing
