// commands.hpp — the subcommands, each returning the process exit status.
#pragma once

#include <string>

#include "options.hpp"

namespace grabline::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

struct ToolContext {
  std::string cameras_dir;  // where camera files are looked for
  bool terminal = false;    // stderr is a terminal: progress as a bar
};

int RunGrab(const Options &options, const ToolContext &context);
int RunList(const Options &options, const ToolContext &context);
int RunParam(const Options &options, const ToolContext &context);
int RunParamList(const Options &options, const ToolContext &context);
int RunInfo(const Options &options, const ToolContext &context);
int RunSerial(const Options &options, const ToolContext &context);
int RunView(const Options &options, const ToolContext &context);

}  // namespace grabline::tool
