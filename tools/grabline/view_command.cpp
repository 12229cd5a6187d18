// grabline view: a placeholder until the live view is built.
#include <cstdio>

#include "commands.hpp"

namespace grabline::tool {

int RunView(const Options &, const ToolContext &) {
  std::fputs("grabline view: not built yet\n", stderr);
  return kExitFailed;
}

}  // namespace grabline::tool
