// serial_text.hpp — the text side of the serial console: commands read from a user's
// input line by line with a bound, and answers made fit for one printed line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace grabline::tool {

enum class LineStatus { kLine, kTooLong, kEnd };

// Reads one line of `input` without its LF (and a CR before it). A line longer than
// `limit` bytes is read to its end and dropped: kTooLong, `line` empty. kEnd when the
// input ends before any byte of a line; a last line without LF still counts.
LineStatus ReadBoundedLine(std::FILE *input, size_t limit, std::string *line);

// The answer as received, without the line end the camera sent with it, every byte
// outside printable ASCII shown as \xNN.
std::string AnswerText(std::string_view answer);

}  // namespace grabline::tool
