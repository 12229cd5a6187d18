// The text forms of numbers and parameter values the tool reads and prints.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "grabline/value_text.hpp"

namespace grabline::tool {
namespace {

using Type = ParamValue::Type;

TEST(ToolNumbers, IntegersInDecimalAndHexWithSign) {
  int64_t value = 0;
  EXPECT_EQ(ParseInteger("42", &value), NumberStatus::kOk);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(ParseInteger("-7", &value), NumberStatus::kOk);
  EXPECT_EQ(value, -7);
  EXPECT_EQ(ParseInteger("+0x1F", &value), NumberStatus::kOk);
  EXPECT_EQ(value, 31);
  EXPECT_EQ(ParseInteger("-0x10", &value), NumberStatus::kOk);
  EXPECT_EQ(value, -16);
  EXPECT_EQ(ParseInteger("9223372036854775807", &value), NumberStatus::kOk);
  EXPECT_EQ(value, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseInteger("-9223372036854775808", &value), NumberStatus::kOk);
  EXPECT_EQ(value, std::numeric_limits<int64_t>::min());
}

TEST(ToolNumbers, IntegersRefuseSyntaxAndRange) {
  int64_t value = 99;
  for (const char *text :
       {"", "-", "+", "0x", "12a", " 1", "1 ", "1.0", "--1", "+-1", "0x-1", "0x+1", "1e3", "abc"}) {
    EXPECT_EQ(ParseInteger(text, &value), NumberStatus::kSyntax) << text;
  }
  EXPECT_EQ(ParseInteger("9223372036854775808", &value), NumberStatus::kRange);
  EXPECT_EQ(ParseInteger("-9223372036854775809", &value), NumberStatus::kRange);
  EXPECT_EQ(ParseInteger("0x10000000000000000", &value), NumberStatus::kRange);
  EXPECT_EQ(ParseInteger("99999999999999999999999", &value), NumberStatus::kRange);
  EXPECT_EQ(value, 99) << "a refused text leaves the value alone";
}

TEST(ToolNumbers, DecimalsAreFinite) {
  double value = 0;
  EXPECT_EQ(ParseDecimal("2.5", &value), NumberStatus::kOk);
  EXPECT_EQ(value, 2.5);
  EXPECT_EQ(ParseDecimal("+.5", &value), NumberStatus::kOk);
  EXPECT_EQ(value, 0.5);
  EXPECT_EQ(ParseDecimal("-1e-3", &value), NumberStatus::kOk);
  EXPECT_EQ(value, -1e-3);
  EXPECT_EQ(ParseDecimal("7", &value), NumberStatus::kOk);
  EXPECT_EQ(value, 7.0);
  for (const char *text :
       {"", "+", "inf", "-inf", "nan", "infinity", "1.5x", "0x1p3", "+-1", " 1", "1,5"}) {
    EXPECT_EQ(ParseDecimal(text, &value), NumberStatus::kSyntax) << text;
  }
  EXPECT_EQ(ParseDecimal("1e999", &value), NumberStatus::kRange);
}

std::vector<ParamValue> Parsed(std::string_view text) {
  std::vector<ParamValue> values;
  std::string error;
  EXPECT_TRUE(ParseParamValues(text, &values, &error)) << text << ": " << error;
  return values;
}

std::string Refused(std::string_view text) {
  std::vector<ParamValue> values{ParamValue::Int(1)};
  std::string error;
  EXPECT_FALSE(ParseParamValues(text, &values, &error)) << text;
  EXPECT_TRUE(values.empty()) << text;
  return error;
}

TEST(ToolParamValues, UntypedElementsTakeTheirNaturalType) {
  EXPECT_EQ(Parsed("42"), std::vector{ParamValue::Int(42)});
  EXPECT_EQ(Parsed("0x10"), std::vector{ParamValue::Int(16)});
  EXPECT_EQ(Parsed("2.5"), std::vector{ParamValue::Double(2.5)});
  EXPECT_EQ(Parsed("1e3"), std::vector{ParamValue::Double(1000)});
  EXPECT_EQ(Parsed("enable"), std::vector{ParamValue::Str("enable")});
  // Words that read as numbers elsewhere stay strings here.
  EXPECT_EQ(Parsed("nan"), std::vector{ParamValue::Str("nan")});
  EXPECT_EQ(Parsed("1.2.3"), std::vector{ParamValue::Str("1.2.3")});
  EXPECT_EQ(Parsed("exp 10:period 20"), std::vector{ParamValue::Str("exp 10:period 20")});
}

TEST(ToolParamValues, PrefixesForceTheType) {
  EXPECT_EQ(Parsed("i:7"), std::vector{ParamValue::Int(7)});
  EXPECT_EQ(Parsed("d:7"), std::vector{ParamValue::Double(7)});
  EXPECT_EQ(Parsed("s:7"), std::vector{ParamValue::Str("7")});
  EXPECT_EQ(Parsed("s:"), std::vector{ParamValue::Str("")});
  EXPECT_EQ(Parsed("s:i:5"), std::vector{ParamValue::Str("i:5")});
  // Only the lower-case letters are prefixes.
  EXPECT_EQ(Parsed("I:7"), std::vector{ParamValue::Str("I:7")});
}

TEST(ToolParamValues, CommasMakeTuplesTypedPerElement) {
  EXPECT_EQ(Parsed("1,-1,0"),
            (std::vector{ParamValue::Int(1), ParamValue::Int(-1), ParamValue::Int(0)}));
  EXPECT_EQ(Parsed("1,2.5,top,s:3"), (std::vector{ParamValue::Int(1), ParamValue::Double(2.5),
                                                  ParamValue::Str("top"), ParamValue::Str("3")}));
  EXPECT_EQ(Parsed("s:,s:"), (std::vector{ParamValue::Str(""), ParamValue::Str("")}));
}

TEST(ToolParamValues, EscapesKeepCommasBackslashesAndBytes) {
  EXPECT_EQ(Parsed("a\\,b"), std::vector{ParamValue::Str("a,b")});
  EXPECT_EQ(Parsed("a\\\\,b"), (std::vector{ParamValue::Str("a\\"), ParamValue::Str("b")}));
  EXPECT_EQ(Parsed("s:\\x0d\\x0A"), std::vector{ParamValue::Str("\r\n")});
  EXPECT_EQ(Parsed("s:\\x00"), std::vector{ParamValue::Str(std::string(1, '\0'))});
}

TEST(ToolParamValues, BadInputIsRefusedWithItsReason) {
  EXPECT_EQ(Refused(""), "no value given");
  EXPECT_EQ(Refused("1,,2"), "value 2: empty value (write s: for an empty string)");
  EXPECT_EQ(Refused("1,"), "value 2: empty value (write s: for an empty string)");
  EXPECT_EQ(Refused("i:abc"), "'abc' is not an integer");
  EXPECT_EQ(Refused("i:1.5"), "'1.5' is not an integer");
  EXPECT_EQ(Refused("i:"), "'' is not an integer");
  EXPECT_EQ(Refused("i:99999999999999999999"), "'99999999999999999999' does not fit 64 bits");
  EXPECT_EQ(Refused("d:x"), "'x' is not a decimal number");
  EXPECT_EQ(Refused("d:nan"), "'nan' is not a decimal number");
  EXPECT_EQ(Refused("d:1e400"), "'1e400' is not a finite number");
  EXPECT_EQ(Refused("1e400"), "'1e400' is not a finite number");
  EXPECT_EQ(Refused("99999999999999999999"),
            "'99999999999999999999' does not fit 64 bits (write s:99999999999999999999 for a "
            "string)");
  EXPECT_EQ(Refused("a\\"), "a lone '\\' at the end (write \\\\ for a backslash)");
  EXPECT_EQ(Refused("a\\q"), "unknown escape '\\q' (escapes: \\, \\\\ \\xNN)");
  EXPECT_EQ(Refused("a\\x4"), "unknown escape '\\x' (escapes: \\, \\\\ \\xNN)");
  EXPECT_EQ(Refused("1,i:\x01"), "value 2: '\\x01' is not an integer");
}

TEST(ToolParamValues, TupleLengthIsBounded) {
  std::string text;
  for (size_t k = 0; k < kMaxTupleValues; ++k) text += k == 0 ? "1" : ",1";
  EXPECT_EQ(Parsed(text).size(), kMaxTupleValues);
  EXPECT_EQ(Refused(text + ",1"), "more than 32767 values");
}

TEST(ToolParamValues, FormattingReadsBackAsTheSameValues) {
  const std::vector<std::vector<ParamValue>> cases = {
      {ParamValue::Int(-5)},
      {ParamValue::Double(2.0)},
      {ParamValue::Double(0.1)},
      {ParamValue::Double(1e300)},
      {ParamValue::Str("enable")},
      {ParamValue::Str("12")},
      {ParamValue::Str("1.5")},
      {ParamValue::Str("")},
      {ParamValue::Str("i:3")},
      {ParamValue::Str("a,b\\c")},
      {ParamValue::Str("line\r\n\x7f\xff")},
      {ParamValue::Int(1), ParamValue::Str("x"), ParamValue::Double(-0.5)},
  };
  for (const auto &values : cases) {
    const std::string text = FormatParamValues(values);
    EXPECT_EQ(Parsed(text), values) << text;
  }
  EXPECT_EQ(FormatParamValues({ParamValue::Double(2.0)}), "2.0");
  EXPECT_EQ(FormatParamValues({ParamValue::Str("12")}), "s:12");
  EXPECT_EQ(FormatParamValues({ParamValue::Str("top-down")}), "top-down");
  EXPECT_EQ(FormatParamValues({ParamValue::Str("a\r")}), "a\\x0D");
  EXPECT_EQ(FormatParamValues({ParamValue::Int(1), ParamValue::Int(2)}), "1,2");
  EXPECT_EQ(FormatParamValues({}), "");
}

TEST(ToolParamNames, AssignmentSplitsAtTheFirstEquals) {
  std::string_view name, value;
  bool has_value = false;
  SplitAssignment("a=b=c", &name, &value, &has_value);
  EXPECT_EQ(name, "a");
  EXPECT_EQ(value, "b=c");
  EXPECT_TRUE(has_value);
  SplitAssignment("do_abort_grab", &name, &value, &has_value);
  EXPECT_EQ(name, "do_abort_grab");
  EXPECT_FALSE(has_value);
  SplitAssignment("x=", &name, &value, &has_value);
  EXPECT_EQ(value, "");
  EXPECT_TRUE(has_value);
}

TEST(ToolParamNames, NamesArePrintableWordsOfBoundedLength) {
  std::string error;
  EXPECT_TRUE(CheckParamName("register_peek:REG_CON1", &error));
  EXPECT_TRUE(CheckParamName(std::string(255, 'a'), &error));
  EXPECT_FALSE(CheckParamName("", &error));
  EXPECT_EQ(error, "empty parameter name");
  EXPECT_FALSE(CheckParamName(std::string(256, 'a'), &error));
  EXPECT_EQ(error, "parameter name longer than 255 characters");
  for (const char *bad : {"a b", "a=b", "tab\t", "\xc3\xa9t\xc3\xa9"}) {
    EXPECT_FALSE(CheckParamName(bad, &error)) << bad;
  }
  EXPECT_EQ(error,
            "parameter name '\\xC3\\xA9t\\xC3\\xA9' has a blank, a '=' or a character "
            "outside printable ASCII");
}

TEST(ToolParamNames, PrintableEscapesAndCuts) {
  EXPECT_EQ(Printable("ok"), "ok");
  EXPECT_EQ(Printable("\x1b[2J"), "\\x1B[2J");
  EXPECT_EQ(Printable("abcdef", 3), "abc...");
  EXPECT_EQ(Printable(std::string(600, 'x')).size(), 515u);
}

}  // namespace
}  // namespace grabline::tool
