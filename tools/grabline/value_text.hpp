// value_text.hpp — the text forms of what users type: whole numbers, decimals, and
// parameter values with their type prefixes, tuples and escapes. Formatting gives
// back text that parses to the same values, so `--get` output can be pasted into
// `--set`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace grabline::tool {

enum class NumberStatus { kOk, kSyntax, kRange };

// Decimal, or hexadecimal after "0x", with an optional sign; the whole text must be
// the number.
NumberStatus ParseInteger(std::string_view text, int64_t *value);
// A finite decimal number ("2", "-0.5", "1e3"); infinities and NaN are refused.
NumberStatus ParseDecimal(std::string_view text, double *value);

// A parameter value as the tool hands it to the plug-in.
struct ParamValue {
  enum class Type { kInt, kDouble, kString } type = Type::kInt;
  int64_t i = 0;
  double d = 0;
  std::string s;
  bool operator==(const ParamValue &) const = default;
  static ParamValue Int(int64_t v) { return {Type::kInt, v, 0, {}}; }
  static ParamValue Double(double v) { return {Type::kDouble, 0, v, {}}; }
  static ParamValue Str(std::string_view v) { return {Type::kString, 0, 0, std::string(v)}; }
};

// Most values one parameter takes (the largest serial block, one value a byte).
inline constexpr size_t kMaxTupleValues = 32767;

// Parses "VALUE[,VALUE]...": each element an integer, a decimal with a point or an
// exponent, or else a string; "i:", "d:" and "s:" force the element's type.
// Escapes: "\," a comma that does not separate, "\\" a backslash, "\xNN" any byte.
// Returns false with a message on bad input.
bool ParseParamValues(std::string_view text, std::vector<ParamValue> *values, std::string *error);

// The inverse of ParseParamValues: elements joined by commas, strings prefixed with
// "s:" where they would otherwise read as another type, every byte outside printable
// ASCII escaped.
std::string FormatParamValues(const std::vector<ParamValue> &values);

// "NAME=VALUE" split at the first '='; `has_value` is false when there is no '='.
void SplitAssignment(std::string_view text, std::string_view *name, std::string_view *value,
                     bool *has_value);
// Parameter names: 1 to 255 printable ASCII characters without blanks or '='.
bool CheckParamName(std::string_view name, std::string *error);

// Text from elsewhere (simulator, plug-in messages) made safe for a terminal: bytes
// outside printable ASCII become "\xNN"; longer texts are cut at `limit` bytes and
// marked with "...".
std::string Printable(std::string_view text, size_t limit = 512);

}  // namespace grabline::tool
