// The grabline tool run as users run it: a child process, its exit status, what it
// prints and the files it writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grabline/camera_files.hpp"
#include "platform/build_profile.hpp"
#include "support/tool_cli_fixture.hpp"

namespace grabline::testing {
namespace {

namespace fs = std::filesystem;
using ToolCli = ToolCliTest;

TEST_F(ToolCli, HelpOfTheToolAndEachCommand) {
  ProcessResult overview = Run({"--help"});
  EXPECT_EQ(overview.status, 0);
  for (const char *text :
       {"usage: grabline", "--system FILE", "GRABLINE_SIM_SYSTEM", "GRABLINE_CAMERAS",
        "--interface NAME", "grab ", "list ", "param ", "info "}) {
    EXPECT_NE(overview.out.find(text), std::string::npos) << text;
  }
  ProcessResult grab = Run({"grab", "--help"});
  EXPECT_EQ(grab.status, 0);
  for (const char *option :
       {"--device", "--camera", "--port", "--color", "--bits", "--mode", "--frames", "--duration",
        "--timeout", "--buffers", "--volatile", "--set", "--out", "--every", "--json"}) {
    EXPECT_NE(grab.out.find(option), std::string::npos) << option;
  }
  for (const char *command : {"list", "param", "info", "serial", "view"}) {
    ProcessResult help = Run({"help", command});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.find(std::string("usage: grabline ") + command), 0u) << help.out;
    EXPECT_EQ(Run({command, "-h"}).out, help.out);
  }
  EXPECT_NE(Run({"param", "--help"}).out.find("i:, d:, s:"), std::string::npos);
  ProcessResult serial = Run({"serial", "--help"});
  EXPECT_EQ(serial.status, 0);
  for (const char *option : {"--baud", "--timeout", "--lines", "--interactive", "--device"}) {
    EXPECT_NE(serial.out.find(option), std::string::npos) << option;
  }
  EXPECT_NE(overview.out.find("serial "), std::string::npos);
  ProcessResult view = Run({"view", "--help"});
  for (const char *option : {"--camera-port N", "--port N", "--listen ADDR", "--no-open"}) {
    EXPECT_NE(view.out.find(option), std::string::npos) << option;
  }
  for (const char *option : {"--trigger SOURCE", "--pulse-rate HZ"}) {
    EXPECT_NE(grab.out.find(option), std::string::npos) << option;
  }
}

TEST_F(ToolCli, UsageErrorsExitTwoAndSayWhat) {
  ProcessResult none = Run({});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("usage: grabline"), std::string::npos);
  EXPECT_TRUE(none.out.empty());

  ProcessResult frames = Run({"grab", "--frames", "-3"});
  EXPECT_EQ(frames.status, 2);
  EXPECT_EQ(frames.err,
            "grabline grab: --frames: '-3' is out of range (1 to 1000000000)\n"
            "(grabline grab --help lists its options)\n");
  ProcessResult value = Run({"param", "--set", "grab_timeout=i:2.5"});
  EXPECT_EQ(value.status, 2);
  EXPECT_NE(value.err.find("--set grab_timeout: '2.5' is not an integer"), std::string::npos);
  ProcessResult command = Run({"grabb"});
  EXPECT_EQ(command.status, 2);
  EXPECT_EQ(command.err,
            "grabline: unknown command 'grabb' (commands: grab, list, param, info, serial, view)\n"
            "(grabline --help lists the commands)\n");
  EXPECT_EQ(Run({"--interface", "grablinexxl", "list"}).status, 2);
}

TEST_F(ToolCli, OutputDirectoryThatCannotBeMade) {
  const std::string file = WriteFile("taken", "x");
  ProcessResult result = Own("grab", {"--out", file, "--frames", "1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.find("--out: cannot make directory '" + file + "'"), 0u) << result.err;
  EXPECT_TRUE(result.out.empty());
  // With --json a run that never started still prints its one object.
  ProcessResult json = Own("grab", {"--out", file, "--frames", "1", "--json"});
  EXPECT_EQ(json.status, 1);
  std::optional<nlohmann::json> summary = ParseJsonObject(json.out);
  ASSERT_TRUE(summary.has_value()) << json.out;
  EXPECT_EQ((*summary)["ok"], false);
  EXPECT_EQ((*summary)["frames"], 0);
  EXPECT_EQ((*summary)["error"].get<std::string>().find("--out: cannot make directory"), 0u);
}

TEST_F(ToolCli, ListShowsTheDefaultSystem) {
  ProcessResult result = Own("list");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("boards (the simulator's default system):"), std::string::npos);
  EXPECT_NE(
      result.out.find("  R64:0   R64     R64-CL  cl     2      0       0          built-in\n"),
      std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("device 'default' opens R64:0 with " GRABLINE_TOOL_INTERFACE "\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("camera files:\n  " + tool::ShownPath(GRABLINE_SOURCE_DIR "/cameras") +
                            " (camera files directory):\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("\n    gray8.cam\n"), std::string::npos) << result.out;
}

TEST_F(ToolCli, ListShowsASystemFileAndWhoSeesGn2) {
  const std::string system = WriteFile(
      "system.txt",
      "family=Gn2 model=GN2-CXP kinds=cxp ports=4 switch=1 connector=1\n"
      "family=Raven model=RV held=yes\n"
      "family=R64 model=R64-NEON kinds=cl,neon_switchable ports=2 switch=3 connector=7\n");
  ProcessResult result = Own("list", {"--system", system});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("boards (system file " + system + "):"), std::string::npos);
  EXPECT_NE(result.out.find("Raven:0  Raven"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("held by another process"), std::string::npos);
  EXPECT_NE(result.out.find("R64:0    R64     R64-NEON  cl,neon_switchable  2      3       7"),
            std::string::npos)
      << result.out;
  const bool xl = std::string(GRABLINE_TOOL_INTERFACE) == "grablinexl";
  EXPECT_EQ(result.out.find("not seen by") == std::string::npos, xl) << result.out;
  // "default" takes the first family searched: Raven before R64, and Gn2 is searched last.
  EXPECT_NE(result.out.find("device 'default' opens Raven:0"), std::string::npos);
}

TEST_F(ToolCli, ABrokenSystemFileFailsTheListing) {
  const std::string system = WriteFile("bad.txt", "family=R64 model=X colour=red\n");
  ProcessResult result = Run({"list", "--system", system});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("  none\n"), std::string::npos);
  EXPECT_NE(result.err.find("list: system file " + system + ": line 1: unknown key 'colour'"),
            std::string::npos)
      << result.err;
}

TEST_F(ToolCli, AnInterfaceOfAnotherHostRunsInItsOwnBinary) {
  for (const std::string &interface : kInterfaces) {
    ProcessResult result = Run({"list", "--interface", interface});
    EXPECT_EQ(result.status, 0) << interface << ": " << result.err;
    EXPECT_NE(result.out.find("opens R64:0 with " + interface + "\n"), std::string::npos)
        << result.out;
  }
}

TEST_F(ToolCli, AMissingCameraFileNamesTheCode) {
  ProcessResult result =
      Own("grab", {"--camera", "no_such_camera.cam", "--frames", "1", "--out", Path("out")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.find("open: FG_ERR_BOARD (5312)\n"), 0u) << result.err;
  // The tool runs in this process's working directory.
  EXPECT_NE(result.err.find("camera file 'no_such_camera.cam' not found (looked in the working "
                            "directory and " +
                            tool::ShownPath(GRABLINE_SOURCE_DIR "/cameras") + ")"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(result.out.empty());
}

TEST_F(ToolCli, AnUnknownParameterNamesTheCode) {
  ProcessResult get = Own("param", {"--get", "no_such_parameter"});
  EXPECT_EQ(get.status, 1);
  EXPECT_EQ(get.err.find("no_such_parameter: FG_ERR_UNSUPPORTED (5321)\n"), 0u) << get.err;
  EXPECT_TRUE(get.out.empty());
  ProcessResult grab = Own("grab", {"--set", "no_such_parameter=1", "--out", Path("out")});
  EXPECT_EQ(grab.status, 1);
  EXPECT_EQ(grab.err.find("no_such_parameter: FG_ERR_UNSUPPORTED (5321)\n"), 0u) << grab.err;
  EXPECT_TRUE(fs::is_empty(Path("out"))) << "nothing grabbed";
}

TEST_F(ToolCli, BadValuesNameTheParameterAndTheCode) {
  ProcessResult big = Own("param", {"--set", "grab_timeout=2147483648"});
  EXPECT_EQ(big.status, 1);
  EXPECT_EQ(big.err,
            "grab_timeout: FG_ERR_PARAM_TYPE (5325)\n"
            "  plug-in: Value must be less than 0x7fffffff.\n");
  ProcessResult word = Own("param", {"--set", "volatile=maybe"});
  EXPECT_EQ(word.status, 1);
  EXPECT_EQ(word.err.find("volatile: FG_ERR_PARAM_VALUE (5326)\n"), 0u) << word.err;
  ProcessResult type = Own("param", {"--set", "grab_timeout=s:100"});
  EXPECT_EQ(type.status, 1);
  EXPECT_EQ(type.err.find("grab_timeout: FG_ERR_PARAM_TYPE (5325)\n"), 0u) << type.err;
}

TEST_F(ToolCli, ParameterOperationsRunInOrderUntilOneFails) {
  ProcessResult result =
      Own("param", {"--set", "grab_timeout=250", "--get", "grab_timeout", "--set",
                    "dma_direction=bottom-up", "--get", "dma_direction", "--get", "volatile"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "grab_timeout = 250\ndma_direction = bottom-up\nvolatile = disable\n");
  ProcessResult stopped =
      Own("param", {"--get", "resnap", "--get", "no_such_parameter", "--get", "volatile"});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(stopped.out, "resnap = false\n");
  EXPECT_EQ(stopped.err.find("no_such_parameter: FG_ERR_UNSUPPORTED (5321)"), 0u);
  // A read that succeeds without a value is no failure.
  ProcessResult ticks = Own("param", {"--get", "ticks_per_second"});
  EXPECT_EQ(ticks.status, 0) << ticks.err;
  if constexpr (kProfile.has_fine_rate) {
    EXPECT_EQ(ticks.out.rfind("ticks_per_second = ", 0), 0u) << ticks.out;
  } else {
    EXPECT_EQ(ticks.out, "ticks_per_second = (no value)\n");
  }
}

TEST_F(ToolCli, InfoAndParameterListFromTheQueries) {
  ProcessResult info = Own("info");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out.find(GRABLINE_TOOL_INTERFACE "\n  FG_QUERY_INFO (2): "), 0u) << info.out;
  EXPECT_NE(info.out.find("  FG_QUERY_COLOR_SPACE (10): Value list for color space parameter.\n"
                          "      gray, rgb\n"),
            std::string::npos)
      << info.out;
  ProcessResult list = Own("param", {"list"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("\nrevision read-only\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\nserial_timeout hidden\n"), std::string::npos);
  // Descriptions and value lists as the plug-in answers NAME_description and NAME_values.
  EXPECT_NE(list.out.find("\nlut\n    Sets the current state of the look up table.\n"
                          "    values: enable, disable\n"),
            std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("\ndo_force_trigger write-only\n    values: -1\n"), std::string::npos);
  EXPECT_NE(list.out.find("\ndma_direction\n    values: top-down, bottom-up\n"), std::string::npos);
  EXPECT_NE(list.out.find("\nimage_width\n    Change the current image width of the grabbed "
                          "image (free run cameras only)\n"),
            std::string::npos);
  // Families have no help of their own; the next name follows directly.
  EXPECT_NE(list.out.find("\nout:xx hidden\ncc:xx hidden\n"), std::string::npos);

  // Without an instance the names still come, and the command says what is missing.
  ProcessResult no_board = Own("param", {"list", "--device", "R64:7"});
  EXPECT_EQ(no_board.status, 1);
  EXPECT_NE(no_board.out.find("\nrevision read-only\nserial_baudrate hidden\n"), std::string::npos)
      << no_board.out;
  EXPECT_EQ(no_board.err.find("open: FG_ERR_BOARD_OPEN (5302)\n"), 0u) << no_board.err;
  EXPECT_NE(no_board.err.find("param list: no descriptions or value lists without an open "
                              "instance\n"),
            std::string::npos);
}

}  // namespace
}  // namespace grabline::testing
