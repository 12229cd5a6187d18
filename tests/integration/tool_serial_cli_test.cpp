// grabline serial end to end: commands reach the simulated camera over the plug-in's
// serial parameters and its answers come back, one line each.
#include <gtest/gtest.h>

#include <string>

#include "support/tool_cli_fixture.hpp"

namespace grabline::testing {
namespace {

using ToolSerial = ToolCliTest;

TEST_F(ToolSerial, CommandsAreAnsweredInOrder) {
  // The second command changes what the third reads back: they run on one open port.
  ProcessResult result = Own("serial", {"ID?", "EXP 250", "EXP?", "ECHO a\x01z"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "GRABLINE-SIM-CAM\nOK\n250\na\\x01z\n");
  EXPECT_EQ(result.err, "");
  // A fresh run starts from the camera's reset values again.
  EXPECT_EQ(Own("serial", {"EXP?"}).out, "1000\n");
}

TEST_F(ToolSerial, AnswerLinesToRead) {
  ProcessResult silent = Own("serial", {"--lines", "0", "EXP 250", "GAIN 3"});
  EXPECT_EQ(silent.status, 0) << silent.err;
  EXPECT_EQ(silent.out, "");
  // Asking for a second line that never comes: the first is printed, then the time-out.
  ProcessResult two = Own("serial", {"--lines", "2", "--timeout", "50", "ID?"});
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(two.out, "GRABLINE-SIM-CAM\n");
  EXPECT_EQ(two.err.find("serial_message: FG_ERR_TIMEOUT (5322)\n"
                         "  plug-in: Timed out reading message.\n"
                         "  no answer within 50 ms"),
            0u)
      << two.err;
}

TEST_F(ToolSerial, ACameraOnAnotherLineSpeedDoesNotAnswer) {
  ProcessResult other = Own("serial", {"--baud", "19200", "--timeout", "50", "ID?", "EXP?"});
  EXPECT_EQ(other.status, 1);
  EXPECT_EQ(other.out, "") << "the first failure ends the command";
  EXPECT_EQ(other.err.find("serial_message: FG_ERR_TIMEOUT (5322)\n"), 0u) << other.err;
  EXPECT_NE(other.err.find("(--baud)"), std::string::npos);
  ProcessResult same = Own("serial", {"--baud", "9600", "ID?"});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "GRABLINE-SIM-CAM\n");
}

TEST_F(ToolSerial, InteractiveConsoleReadsStandardInput) {
  const std::string input = "ID?\n\nGAIN 4\r\nGAIN?\n" + std::string(1025, 'X') + "\nECHO last";
  ProcessResult result = OwnWithInput("serial", {"--interactive", "EXP?"}, input);
  // Commands given on the line come first; the overlong line is refused and the
  // console goes on; the last line needs no line end.
  EXPECT_EQ(result.out, "1000\nGRABLINE-SIM-CAM\nOK\n4\nlast\n");
  EXPECT_EQ(result.err, "serial: line longer than 1024 bytes, not sent\n");
  EXPECT_EQ(result.status, 1);
  ProcessResult clean = OwnWithInput("serial", {"--interactive"}, "ECHO ok\n");
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(clean.out, "ok\n");
}

TEST_F(ToolSerial, BoardsWithoutAPortAndBadInput) {
  const std::string system = WriteFile("system.txt", "family=R64 model=R64-PLAIN ports=1\n");
  ProcessResult plain = Own("serial", {"--system", system, "ID?"});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.err,
            "do_comm_open: FG_ERR_SERIAL_NOT_CL (5252)\n"
            "  only Camera Link boards have a serial port (grabline list)\n");

  struct Bad {
    std::vector<std::string> args;
    const char *message;
  } const kBad[] = {
      {{}, "nothing to send (give \"COMMAND\" or --interactive)"},
      {{""}, "empty command"},
      {{"ID?\rEXP?"}, "command 'ID?\\x0DEXP?' holds a line end or NUL"},
      {{std::string(1025, 'A')}, "command longer than 1024 bytes"},
      {{"--baud", "1200", "ID?"}, "--baud: '1200' is not one of 9600, 19200,"},
      {{"--timeout", "0", "ID?"}, "--timeout: '0' is out of range (1 to 2147483647)"},
      {{"--lines", "65", "ID?"}, "--lines: '65' is out of range (0 to 64)"},
  };
  for (const Bad &bad : kBad) {
    ProcessResult result = Own("serial", bad.args);
    EXPECT_EQ(result.status, 2) << bad.message;
    EXPECT_EQ(result.err.find(std::string("grabline serial: ") + bad.message), 0u) << result.err;
  }
}

}  // namespace
}  // namespace grabline::testing
