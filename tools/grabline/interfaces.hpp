// interfaces.hpp — the plug-in builds the tool drives, and the tool binary built
// for each: a process holds one host library, so a plug-in of another host build
// runs in the binary built for that host.
#pragma once

#include <string_view>

namespace grabline::tool {

struct InterfaceInfo {
  std::string_view plugin;  // --interface NAME
  std::string_view binary;  // the tool built against that plug-in's host
  bool searches_gn2;        // "default" and the family names include Gn2 boards
};

inline constexpr InterfaceInfo kInterfaces[] = {
    {"grablinexl", "grabline", true},
    {"grabline", "grabline-standard", false},
    {"pargrabline", "grabline-par", false},
};

constexpr const InterfaceInfo *FindInterface(std::string_view plugin) {
  for (const InterfaceInfo &info : kInterfaces) {
    if (info.plugin == plugin) return &info;
  }
  return nullptr;
}

}  // namespace grabline::tool
