// tokens.hpp — parameter values written as keyword tokens joined by ':'
// ("exp 1.5:period 10"), read the way the classic scanners read them
// ("keyword %u"), but with bounds: an over-long text, word or number is
// reported, never cut or copied past a field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace grabline {

inline constexpr size_t kMaxTokenText = 1023;  // the working copy a value is split in
inline constexpr size_t kMaxTokenWord = 127;   // a word field holds 128 characters

enum class TokenKind : uint8_t {
  kUnsigned,  // "%u": a decimal number of 32 bits
  kHex,       // "%x": a hexadecimal number, optionally with 0x
  kReal,      // "%lf"
  kWord,      // "%s": characters up to a blank
};

struct TokenField {
  TokenField(std::string_view k, TokenKind t) : keyword(k), kind(t) {}

  std::string_view keyword;
  TokenKind kind;
  // Filled from the last token of this keyword.
  bool seen = false;
  bool fits = true;     // the value fits its field
  uint64_t number = 0;  // kUnsigned, kHex (beyond 64 bits it reads as UINT64_MAX)
  double real = 0;
  std::string_view word;  // into the text given to ParseTokens
};

enum class TokenText : uint8_t { kOk, kTooLong, kNoToken };

// Splits `text` at ':' (empty pieces are skipped) and hands each token to the
// field whose keyword it starts with, when a value of the field's kind
// follows after optional blanks; anything after the value is ignored. A later
// token overwrites an earlier one of the same keyword.
TokenText ParseTokens(std::string_view text, std::span<TokenField> fields);

}  // namespace grabline
