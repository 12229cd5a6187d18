// The grabline tool of this test executable's build, run as a child process in a
// clean environment, with a scratch directory per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/subprocess.hpp"

namespace grabline::testing {

// Interfaces in the tool's order; each test executable runs its own build's binary.
// The tool's JSON summary: one object whose members are all scalars; null
// for anything else.
inline std::optional<nlohmann::json> ParseJsonObject(std::string_view text) {
  nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  for (const auto &member : json.items()) {
    if (member.value().is_structured()) return std::nullopt;
  }
  return json;
}

inline const std::vector<std::string> kInterfaces = {"grablinexl", "grabline", "pargrabline"};

class ToolCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("grabline_cli_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // The tool with `args` as given, in a clean environment apart from `env`.
  ProcessResult Run(std::vector<std::string> args, const EnvChanges &env = {},
                    const std::string &input_file = "") {
    args.insert(args.begin(), GRABLINE_TOOL_PATH);
    EnvChanges changes = {{"GRABLINE_SIM_SYSTEM", std::nullopt},
                          {"GRABLINE_CAMERAS", std::nullopt},
                          {"GRABLINE_TOOL_REEXEC", std::nullopt},
                          {"TARVEL_PRINT_ERRORS", std::nullopt}};
    for (const auto &[name, value] : env) changes[name] = value;
    return RunProcess(args, changes, std::chrono::seconds(120), input_file);
  }
  // `command` with this build's interface.
  ProcessResult Own(const std::string &command, std::vector<std::string> args = {},
                    const EnvChanges &env = {}) {
    args.insert(args.begin(), {"--interface", GRABLINE_TOOL_INTERFACE, command});
    return Run(args, env);
  }
  // `command` of this build's interface reading `input` as its standard input.
  ProcessResult OwnWithInput(const std::string &command, std::vector<std::string> args,
                             const std::string &input) {
    args.insert(args.begin(), {"--interface", GRABLINE_TOOL_INTERFACE, command});
    return Run(args, {}, WriteFile("stdin.txt", input));
  }
  std::string Path(const std::string &name) const { return (dir_ / name).string(); }
  std::string WriteFile(const std::string &name, const std::string &text) const {
    std::ofstream(dir_ / name) << text;
    return Path(name);
  }

  std::filesystem::path dir_;
};

}  // namespace grabline::testing
