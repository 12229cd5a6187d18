#include "tool_main.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "camera_files.hpp"
#include "commands.hpp"
#include "interfaces.hpp"
#include "options.hpp"
#include "reexec.hpp"

namespace grabline::tool {
namespace {

void ReportUsageError(Command command, const std::string &error) {
  if (command == Command::kNone) {
    std::fprintf(stderr, "grabline: %s\n(grabline --help lists the commands)\n", error.c_str());
    return;
  }
  const std::string name(CommandName(command));
  std::fprintf(stderr, "grabline %s: %s\n(grabline %s --help lists its options)\n", name.c_str(),
               error.c_str(), name.c_str());
}

}  // namespace

int ToolMain(int argc, char **argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  Options options;
  std::string error;
  const Request request = ParseOptions(args, &options, &error);
  if (request == Request::kError) {
    ReportUsageError(options.command, error);
    return kExitUsage;
  }
  // The simulator and the camera lookup read these when they start, so set them first.
  if (options.system) setenv("GRABLINE_SIM_SYSTEM", options.system->c_str(), 1);
  if (options.cameras) setenv("GRABLINE_CAMERAS", options.cameras->c_str(), 1);
  ToolContext context;
  context.cameras_dir = CamerasDirectory(std::getenv("GRABLINE_CAMERAS"), GRABLINE_CAMERAS_DIR);
  context.terminal = isatty(STDERR_FILENO) != 0;

  if (request == Request::kHelp) {
    std::fputs(HelpText(options.command, context.cameras_dir).c_str(), stdout);
    return kExitOk;
  }
  if (options.command == Command::kNone) {
    std::fputs(HelpText(Command::kNone, context.cameras_dir).c_str(), stderr);
    return kExitUsage;
  }
  const InterfaceInfo &interface = *FindInterface(options.interface);
  if (interface.binary != GRABLINE_TOOL_BINARY) return RunOtherBuild(interface, argv);

  switch (options.command) {
    case Command::kGrab:
      return RunGrab(options, context);
    case Command::kList:
      return RunList(options, context);
    case Command::kParam:
      return RunParam(options, context);
    case Command::kInfo:
      return RunInfo(options, context);
    case Command::kSerial:
      return RunSerial(options, context);
    case Command::kView:
      return RunView(options, context);
    case Command::kNone:
      break;
  }
  return kExitUsage;
}

}  // namespace grabline::tool
