#include "value_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace grabline::tool {
namespace {

constexpr size_t kMaxNameLength = 255;

bool IsPrintableAscii(unsigned char c) { return c >= 0x20 && c < 0x7f; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHexEscape(unsigned char c, std::string *out) {
  char buffer[8];
  std::snprintf(buffer, sizeof(buffer), "\\x%02X", static_cast<unsigned>(c));
  out->append(buffer);
}

bool Unescape(std::string_view text, std::string *out, std::string *error) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out->push_back(text[i]);
      continue;
    }
    if (i + 1 == text.size()) {
      *error = "a lone '\\' at the end (write \\\\ for a backslash)";
      return false;
    }
    const char next = text[++i];
    if (next == '\\' || next == ',') {
      out->push_back(next);
    } else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out->push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
      i += 2;
    } else {
      *error = "unknown escape '\\" + Printable(std::string_view(&next, 1)) +
               "' (escapes: \\, \\\\ \\xNN)";
      return false;
    }
  }
  return true;
}

bool LooksDecimal(std::string_view text) {
  return text.find_first_of(".eE") != std::string_view::npos;
}

// What an element without a type prefix becomes; false with a message for numbers
// that do not fit, which are refused rather than silently taken as strings.
bool ClassifyUntyped(const std::string &text, ParamValue *value, std::string *error) {
  if (text.empty()) {
    *error = "empty value (write s: for an empty string)";
    return false;
  }
  int64_t integer = 0;
  NumberStatus status = ParseInteger(text, &integer);
  if (status == NumberStatus::kOk) {
    *value = ParamValue::Int(integer);
    return true;
  }
  if (status == NumberStatus::kRange) {
    *error = "'" + Printable(text, 64) + "' does not fit 64 bits (write s:" + Printable(text, 64) +
             " for a string)";
    return false;
  }
  if (LooksDecimal(text)) {
    double decimal = 0;
    status = ParseDecimal(text, &decimal);
    if (status == NumberStatus::kOk) {
      *value = ParamValue::Double(decimal);
      return true;
    }
    if (status == NumberStatus::kRange) {
      *error = "'" + Printable(text, 64) + "' is not a finite number";
      return false;
    }
  }
  *value = ParamValue::Str(text);
  return true;
}

bool ParseElement(std::string_view raw, ParamValue *value, std::string *error) {
  char forced = 0;
  if (raw.size() >= 2 && raw[1] == ':' && (raw[0] == 'i' || raw[0] == 'd' || raw[0] == 's')) {
    forced = raw[0];
    raw.remove_prefix(2);
  }
  std::string text;
  if (!Unescape(raw, &text, error)) return false;
  if (forced == 's') {
    *value = ParamValue::Str(text);
    return true;
  }
  if (forced == 'i') {
    int64_t integer = 0;
    NumberStatus status = ParseInteger(text, &integer);
    if (status == NumberStatus::kOk) {
      *value = ParamValue::Int(integer);
      return true;
    }
    *error = "'" + Printable(text, 64) +
             (status == NumberStatus::kRange ? "' does not fit 64 bits" : "' is not an integer");
    return false;
  }
  if (forced == 'd') {
    double decimal = 0;
    NumberStatus status = ParseDecimal(text, &decimal);
    if (status == NumberStatus::kOk) {
      *value = ParamValue::Double(decimal);
      return true;
    }
    *error =
        "'" + Printable(text, 64) +
        (status == NumberStatus::kRange ? "' is not a finite number" : "' is not a decimal number");
    return false;
  }
  return ClassifyUntyped(text, value, error);
}

// True when the untyped reading of `text` is not the string itself.
bool ReadsAsOther(std::string_view text) {
  if (text.empty()) return true;
  if (text.size() >= 2 && text[1] == ':' && (text[0] == 'i' || text[0] == 'd' || text[0] == 's')) {
    return true;
  }
  int64_t integer = 0;
  if (ParseInteger(text, &integer) != NumberStatus::kSyntax) return true;
  double decimal = 0;
  return LooksDecimal(text) && ParseDecimal(text, &decimal) != NumberStatus::kSyntax;
}

void FormatOne(const ParamValue &value, std::string *out) {
  switch (value.type) {
    case ParamValue::Type::kInt:
      out->append(std::to_string(value.i));
      return;
    case ParamValue::Type::kDouble: {
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value.d);
      std::string_view text(buffer, ec == std::errc() ? size_t(end - buffer) : 0);
      out->append(text);
      // A decimal keeps a visible point so it reads back as a decimal.
      if (text.find_first_of(".eEn") == std::string_view::npos) out->append(".0");
      return;
    }
    case ParamValue::Type::kString:
      if (ReadsAsOther(value.s)) out->append("s:");
      for (char c : value.s) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == ',') {
          out->push_back('\\');
          out->push_back(c);
        } else if (IsPrintableAscii(byte)) {
          out->push_back(c);
        } else {
          AppendHexEscape(byte, out);
        }
      }
      return;
  }
}

}  // namespace

NumberStatus ParseInteger(std::string_view text, int64_t *value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return NumberStatus::kSyntax;
  uint64_t magnitude = 0;
  const char *end = text.data() + text.size();
  auto [stop, ec] = std::from_chars(text.data(), end, magnitude, base);
  if (ec == std::errc::invalid_argument || stop != end) return NumberStatus::kSyntax;
  if (ec == std::errc::result_out_of_range) return NumberStatus::kRange;
  constexpr uint64_t kMax = std::numeric_limits<int64_t>::max();
  if (negative) {
    if (magnitude > kMax + 1) return NumberStatus::kRange;
    *value = magnitude == kMax + 1 ? std::numeric_limits<int64_t>::min()
                                   : -static_cast<int64_t>(magnitude);
  } else {
    if (magnitude > kMax) return NumberStatus::kRange;
    *value = static_cast<int64_t>(magnitude);
  }
  return NumberStatus::kOk;
}

NumberStatus ParseDecimal(std::string_view text, double *value) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
  if (text.empty()) return NumberStatus::kSyntax;
  double parsed = 0;
  const char *end = text.data() + text.size();
  auto [stop, ec] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
  if (ec == std::errc::invalid_argument || stop != end) return NumberStatus::kSyntax;
  if (ec == std::errc::result_out_of_range) return NumberStatus::kRange;
  if (!std::isfinite(parsed)) return NumberStatus::kSyntax;
  *value = parsed;
  return NumberStatus::kOk;
}

bool ParseParamValues(std::string_view text, std::vector<ParamValue> *values, std::string *error) {
  values->clear();
  if (text.empty()) {
    *error = "no value given";
    return false;
  }
  std::vector<std::string_view> elements;
  size_t begin = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i + 1 < text.size() && text[i] == '\\') {
      ++i;  // the escaped character never separates
      continue;
    }
    if (i < text.size() && text[i] != ',') continue;
    if (elements.size() == kMaxTupleValues) {
      *error = "more than " + std::to_string(kMaxTupleValues) + " values";
      return false;
    }
    elements.push_back(text.substr(begin, i - begin));
    begin = i + 1;
  }
  for (size_t k = 0; k < elements.size(); ++k) {
    ParamValue value;
    std::string why;
    if (!ParseElement(elements[k], &value, &why)) {
      *error = elements.size() > 1 ? "value " + std::to_string(k + 1) + ": " + why : why;
      values->clear();
      return false;
    }
    values->push_back(std::move(value));
  }
  return true;
}

std::string FormatParamValues(const std::vector<ParamValue> &values) {
  std::string out;
  for (size_t k = 0; k < values.size(); ++k) {
    if (k > 0) out.push_back(',');
    FormatOne(values[k], &out);
  }
  return out;
}

void SplitAssignment(std::string_view text, std::string_view *name, std::string_view *value,
                     bool *has_value) {
  const size_t equals = text.find('=');
  *has_value = equals != std::string_view::npos;
  *name = text.substr(0, equals);
  *value = *has_value ? text.substr(equals + 1) : std::string_view();
}

bool CheckParamName(std::string_view name, std::string *error) {
  if (name.empty()) {
    *error = "empty parameter name";
    return false;
  }
  if (name.size() > kMaxNameLength) {
    *error = "parameter name longer than " + std::to_string(kMaxNameLength) + " characters";
    return false;
  }
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f || c == '=') {
      *error = "parameter name '" + Printable(name) +
               "' has a blank, a '=' or a character outside printable ASCII";
      return false;
    }
  }
  return true;
}

std::string Printable(std::string_view text, size_t limit) {
  std::string out;
  const bool cut = text.size() > limit;
  for (char c : text.substr(0, limit)) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsPrintableAscii(byte)) {
      out.push_back(c);
    } else {
      AppendHexEscape(byte, &out);
    }
  }
  if (cut) out.append("...");
  return out;
}

}  // namespace grabline::tool
