// What each build must show, written out per build. Tests compare with these
// rather than with kProfile, which the plug-in reads too, so that a wrong
// entry in the profile table fails them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace grabline::testing {

struct BuildFacts {
  std::string_view plugin;  // the library the test executable loads
  int32_t interface_version;
  int32_t max_instances;
  std::string_view revision;
  std::string_view camera_suffixes;
  size_t parameters;  // lengths of the parameter-name lists: all, read-only, write-only
  size_t read_only;
  size_t write_only;
  std::string_view first_parameter;
  size_t devices;  // names the device query offers
};

inline constexpr BuildFacts kBuildFacts[] = {
    {"grabline", 1300, 256, "13.0.4", "cam;r64;rcl;rvc;anlg", 62, 13, 11, "do_abort_grab", 13},
    {"grablinexl", 6, 256, "6.5", "cam;r64;rcl;rvc;anlg;bfml;dif", 64, 13, 12, "do_abort_grab", 17},
    {"pargrabline", 3, 64, "3.9", "cam;r64;rcl;rvc;anlg", 63, 12, 12, "do_abort_capture", 13},
};

constexpr size_t FactsIndex(std::string_view plugin) {
  size_t i = 0;
  while (i < std::size(kBuildFacts) && kBuildFacts[i].plugin != plugin) ++i;
  return i;
}

// Chosen by the plug-in this executable is built to load, not by the profile.
static_assert(FactsIndex(GRABLINE_PLUGIN_NAME) < std::size(kBuildFacts), "no facts for this build");
inline constexpr const BuildFacts &kThisBuild = kBuildFacts[FactsIndex(GRABLINE_PLUGIN_NAME)];

}  // namespace grabline::testing
