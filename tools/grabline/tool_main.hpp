// tool_main.hpp — the tool from the command line to the exit status.
#pragma once

namespace grabline::tool {

int ToolMain(int argc, char **argv);

}  // namespace grabline::tool
