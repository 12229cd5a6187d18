// command_line.hpp — splits the arguments into a subcommand, its options in the
// order given, and its plain arguments. Only the shape is checked here (known
// option, value present, not repeated); options.hpp checks the values.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace grabline::tool {

enum class Command { kNone, kGrab, kList, kParam, kInfo, kSerial, kView };

struct OptionUse {
  std::string name;  // without the leading "--"
  std::string value;
};

struct CommandLine {
  Command command = Command::kNone;
  bool help = false;  // --help, -h or "help [COMMAND]"
  std::vector<OptionUse> options;
  std::vector<std::string> arguments;
};

// `args` without the program name. Returns false with a message on bad input.
bool ParseCommandLine(std::span<const std::string_view> args, CommandLine *line,
                      std::string *error);

std::string_view CommandName(Command command);

}  // namespace grabline::tool
