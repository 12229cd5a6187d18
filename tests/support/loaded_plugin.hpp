// The plug-in of this test executable's flavour, loaded through the host.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tarvel_host.hpp"

namespace grabline::testing {

// Loads the flavour's plug-in (FGInit runs on every load).
inline std::unique_ptr<tarvel::Plugin> LoadPlugin() {
  std::string error;
  auto plugin = tarvel::Plugin::Load(GRABLINE_PLUGIN_NAME, &error);
  EXPECT_NE(plugin, nullptr) << error;
  return plugin;
}

}  // namespace grabline::testing
