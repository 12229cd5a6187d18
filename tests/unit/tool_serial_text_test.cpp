// The serial console's input lines and printed answers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "grabline/serial_text.hpp"

namespace grabline::tool {
namespace {

struct Read {
  LineStatus status;
  std::string line;
  bool operator==(const Read &) const = default;
};

void PrintTo(const Read &read, std::ostream *out) {
  *out << int(read.status) << " '" << read.line << "'";
}

// Every line ReadBoundedLine gives for `text`, the end included.
std::vector<Read> Lines(std::string text, size_t limit) {
  std::FILE *input = fmemopen(text.data(), text.size(), "r");
  EXPECT_NE(input, nullptr);
  std::vector<Read> reads;
  for (;;) {
    Read read{};
    read.status = ReadBoundedLine(input, limit, &read.line);
    reads.push_back(read);
    if (read.status == LineStatus::kEnd || reads.size() > 20) break;
  }
  std::fclose(input);
  return reads;
}

TEST(ToolSerialText, LinesAreBoundedAndEndsStripped) {
  using S = LineStatus;
  EXPECT_EQ(Lines("ab\r\n\ncd", 4),
            (std::vector<Read>{{S::kLine, "ab"}, {S::kLine, ""}, {S::kLine, "cd"}, {S::kEnd, ""}}));
  // Exactly the limit fits, with or without a CR; one more byte drops the whole line
  // and the next line is read from its start.
  EXPECT_EQ(Lines("abcd\nabcd\r\nabcde\nok\n", 4), (std::vector<Read>{{S::kLine, "abcd"},
                                                                      {S::kLine, "abcd"},
                                                                      {S::kTooLong, ""},
                                                                      {S::kLine, "ok"},
                                                                      {S::kEnd, ""}}));
  EXPECT_EQ(Lines(std::string(100000, 'x') + "\nok", 8),
            (std::vector<Read>{{S::kTooLong, ""}, {S::kLine, "ok"}, {S::kEnd, ""}}));
  EXPECT_EQ(Lines("", 4), (std::vector<Read>{{S::kEnd, ""}}));
}

TEST(ToolSerialText, AnswersLoseTheirLineEndAndShowOtherBytes) {
  EXPECT_EQ(AnswerText("OK\r"), "OK");
  EXPECT_EQ(AnswerText("OK\r\n\r"), "OK");
  EXPECT_EQ(AnswerText("a\rb\x1b[2J\xff"), "a\\x0Db\\x1B[2J\\xFF");
  EXPECT_EQ(AnswerText(""), "");
  EXPECT_EQ(AnswerText(std::string(2000, 'a')).size(), 2000u) << "answers are not cut";
}

}  // namespace
}  // namespace grabline::tool
