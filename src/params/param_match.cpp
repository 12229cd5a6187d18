#include "params/param_match.hpp"

#include <cctype>
#include <cstring>

#include "plugin/error_report.hpp"

namespace grabline {
namespace {

constexpr size_t kMaxWord = 1023;

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// A number as the classic scanners read it: blanks, a sign, digits (and for
// hexadecimal an optional 0x). Anything after it is ignored. Values that do
// not fit 64 bits are refused rather than wrapped.
bool ScanNumber(std::string_view text, int base, int64_t *out) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] | 0x20) == 'x' &&
      i + 2 < text.size() && DigitValue(text[i + 2], 16) >= 0) {
    i += 2;
  }
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && DigitValue(text[i], base) >= 0; ++i, ++digits) {
    const uint64_t next = value * static_cast<uint64_t>(base) + DigitValue(text[i], base);
    if (next / static_cast<uint64_t>(base) != value || next > (1ull << 62)) return false;
    value = next;
  }
  if (digits == 0) return false;
  *out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  return true;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

int MatchKey(const ParamKey &key, const char *name, ParamCall &call) {
  if (key.match == Match::kName) return EqualsIgnoreCase(name, key.name) ? 1 : 0;
  if (std::strncmp(name, key.name, key.prefix_length) != 0) return 0;
  // The rest of the literal must follow exactly, then one item.
  const std::string_view literal = key.name;
  const std::string_view text = name;
  if (text.substr(0, literal.size()) != literal) return -1;
  const std::string_view rest = text.substr(literal.size());
  int64_t number = 0;
  switch (key.match) {
    case Match::kDecimal:
      if (!ScanNumber(rest, 10, &number) || number < INT32_MIN || number > INT32_MAX) return -1;
      call.number = number;
      return 1;
    case Match::kUnsigned:
      // Negative numbers wrap as an unsigned 32-bit read makes them.
      if (!ScanNumber(rest, 10, &number) || number < -int64_t{UINT32_MAX} ||
          number > int64_t{UINT32_MAX}) {
        return -1;
      }
      call.number = static_cast<uint32_t>(number);
      return 1;
    case Match::kHex:
      if (!ScanNumber(rest, 16, &number) || number < -int64_t{UINT32_MAX} ||
          number > int64_t{UINT32_MAX}) {
        return -1;
      }
      call.number = static_cast<uint32_t>(number);
      return 1;
    case Match::kWord: {
      size_t i = 0;
      while (i < rest.size() && IsSpace(rest[i])) ++i;
      size_t end = i;
      while (end < rest.size() && !IsSpace(rest[end])) ++end;
      if (end == i || end - i > kMaxWord) return -1;
      call.word = rest.substr(i, end - i);
      return 1;
    }
    case Match::kName:
      break;
  }
  return 0;
}

Terr ReadFlag(const Tcpar &value, const char *on, const char *off, bool *flag) {
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  if (EqualsIgnoreCase(value.par.s, on)) {
    *flag = true;
    return FG_OK;
  }
  if (EqualsIgnoreCase(value.par.s, off)) {
    *flag = false;
    return FG_OK;
  }
  return FG_ERR_PARAM_VALUE;
}

bool CheckInt32Range(int64_t value) {
  if (value < 2147483648LL) return true;
  PrintError("Value must be less than 0x7fffffff.");
  return false;
}

Terr ReadInt32Limited(const Tcpar &value, int32_t *out) {
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (!CheckInt32Range(value.par.l)) return FG_ERR_PARAM_TYPE;
  *out = static_cast<int32_t>(value.par.l);
  return FG_OK;
}

}  // namespace grabline
