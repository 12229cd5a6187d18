#include "serial_text.hpp"

#include "value_text.hpp"

namespace grabline::tool {

LineStatus ReadBoundedLine(std::FILE *input, size_t limit, std::string *line) {
  line->clear();
  bool any = false;
  bool too_long = false;
  int c = 0;
  while ((c = std::fgetc(input)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line->size() < limit + 1) {
      line->push_back(static_cast<char>(c));
    } else {
      too_long = true;  // keep reading to the end of the line, keep nothing more
    }
  }
  if (!any) return LineStatus::kEnd;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  if (too_long || line->size() > limit) {
    line->clear();
    return LineStatus::kTooLong;
  }
  return LineStatus::kLine;
}

std::string AnswerText(std::string_view answer) {
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n')) {
    answer.remove_suffix(1);
  }
  return Printable(answer, answer.size());
}

}  // namespace grabline::tool
