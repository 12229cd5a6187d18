#include "io/tokens.hpp"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace grabline {
namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

int Digit(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// An unsigned number as "%u" / "%x" read it. False when no digit follows;
// `fits` false for a sign or a decimal number beyond 32 bits. Hexadecimal
// numbers beyond 64 bits saturate: they are too large for every field.
bool ReadUnsigned(std::string_view text, int base, TokenField &field) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] | 0x20) == 'x' &&
      Digit(text[2], 16) >= 0) {
    text.remove_prefix(2);
  }
  uint64_t value = 0;
  bool overflow = false;
  size_t digits = 0;
  for (; digits < text.size() && Digit(text[digits], base) >= 0; ++digits) {
    const uint64_t d = static_cast<uint64_t>(Digit(text[digits], base));
    if (value > (UINT64_MAX - d) / static_cast<uint64_t>(base)) overflow = true;
    if (!overflow) value = value * static_cast<uint64_t>(base) + d;
  }
  if (digits == 0) return false;
  field.number = overflow ? UINT64_MAX : value;
  field.fits = !negative && (base == 16 || field.number <= UINT32_MAX);
  return true;
}

// "%lf": what strtod reads from the token's value, through a bounded copy.
bool ReadReal(std::string_view text, TokenField &field) {
  char copy[kMaxTokenText + 1];
  const size_t length = text.size() < kMaxTokenText ? text.size() : kMaxTokenText;
  std::memcpy(copy, text.data(), length);
  copy[length] = '\0';
  char *end = nullptr;
  const double value = std::strtod(copy, &end);
  if (end == copy) return false;
  field.real = value;
  field.fits = true;
  return true;
}

bool ReadWord(std::string_view text, TokenField &field) {
  size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  if (end == 0) return false;
  field.word = text.substr(0, end);
  field.fits = end <= kMaxTokenWord;
  return true;
}

bool ReadValue(std::string_view token, TokenField &field) {
  if (token.substr(0, field.keyword.size()) != field.keyword) return false;
  const std::string_view value = SkipBlanks(token.substr(field.keyword.size()));
  TokenField read = field;
  bool matched = false;
  switch (field.kind) {
    case TokenKind::kUnsigned:
      matched = ReadUnsigned(value, 10, read);
      break;
    case TokenKind::kHex:
      matched = ReadUnsigned(value, 16, read);
      break;
    case TokenKind::kReal:
      matched = ReadReal(value, read);
      break;
    case TokenKind::kWord:
      matched = ReadWord(value, read);
      break;
  }
  if (!matched) return false;
  read.seen = true;
  field = read;
  return true;
}

}  // namespace

TokenText ParseTokens(std::string_view text, std::span<TokenField> fields) {
  if (text.size() > kMaxTokenText) return TokenText::kTooLong;
  bool any = false;
  while (!text.empty()) {
    const size_t colon = text.find(':');
    const std::string_view token = text.substr(0, colon);
    text.remove_prefix(colon == std::string_view::npos ? text.size() : colon + 1);
    if (token.empty()) continue;
    any = true;
    for (TokenField &field : fields) {
      if (ReadValue(token, field)) break;
    }
  }
  return any ? TokenText::kOk : TokenText::kNoToken;
}

}  // namespace grabline
