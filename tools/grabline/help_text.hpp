// help_text.hpp — what --help prints for the tool and each command.
#pragma once

#include <string>
#include <string_view>

#include "command_line.hpp"

namespace grabline::tool {

// Help of `command` (kNone: the tool's overview). `cameras_dir` is where camera files
// are looked for by default.
std::string HelpText(Command command, std::string_view cameras_dir);

}  // namespace grabline::tool
