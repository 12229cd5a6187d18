// The command line of the tool: commands, options in order, and every refusal with
// the message the user sees.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "grabline/options.hpp"

namespace grabline::tool {
namespace {

Options Built(std::initializer_list<std::string_view> args) {
  std::vector<std::string_view> list(args);
  Options options;
  std::string error;
  EXPECT_EQ(ParseOptions(list, &options, &error), Request::kRun) << error;
  return options;
}

std::string Error(std::initializer_list<std::string_view> args) {
  std::vector<std::string_view> list(args);
  Options options;
  std::string error;
  EXPECT_EQ(ParseOptions(list, &options, &error), Request::kError);
  return error;
}

// The command whose help is asked for.
Command HelpOf(std::initializer_list<std::string_view> args) {
  std::vector<std::string_view> list(args);
  Options options;
  std::string error;
  EXPECT_EQ(ParseOptions(list, &options, &error), Request::kHelp) << error;
  return options.command;
}

TEST(ToolCommandLine, CommandsHelpAndOptionForms) {
  EXPECT_EQ(Built({}).command, Command::kNone);
  EXPECT_EQ(HelpOf({"--help"}), Command::kNone);
  EXPECT_EQ(HelpOf({"help", "grab"}), Command::kGrab);
  EXPECT_EQ(HelpOf({"param", "-h"}), Command::kParam);
  // Help is given even when a value is bad.
  EXPECT_EQ(HelpOf({"grab", "--frames", "0", "--help"}), Command::kGrab);

  Options o = Built({"--system", "s.txt", "grab", "--frames=5", "--set", "a=1", "--json",
                     "--set=b=-2", "--cameras", "c"});
  EXPECT_EQ(o.command, Command::kGrab);
  EXPECT_EQ(*o.system, "s.txt");
  EXPECT_EQ(*o.cameras, "c") << "an option of every command after the command's name";
  EXPECT_EQ(o.frames, 5u);
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.ops, (std::vector<ParamOp>{{false, "a", {ParamValue::Int(1)}},
                                         {false, "b", {ParamValue::Int(-2)}}}));
  // A value may look like an option, or like what a command-line library reads as a
  // marker of its own.
  EXPECT_EQ(Error({"param", "--port", "--json", "--get", "x"}),
            "--port: '--json' is not a whole number");
  EXPECT_EQ(Built({"grab", "--out", "--"}).out, "--");
  EXPECT_EQ(Built({"serial", "++", "\x01--"}).serial_commands,
            (std::vector<std::string>{"++", "\x01--"}));
  EXPECT_EQ(Error({"grab", "--out=", "x"}), "--out: empty");
}

TEST(ToolCommandLine, ShapeErrors) {
  EXPECT_EQ(Error({"snap"}),
            "unknown command 'snap' (commands: grab, list, param, info, serial, view)");
  EXPECT_EQ(Error({"grab", "--frame", "3"}), "unknown option '--frame' for 'grab'");
  EXPECT_EQ(Error({"--frames", "3", "grab"}), "unknown option '--frames'");
  EXPECT_EQ(Error({"list", "--device", "R64:0"}), "unknown option '--device' for 'list'");
  EXPECT_EQ(Error({"info", "--get", "x"}), "unknown option '--get' for 'info'");
  EXPECT_EQ(Error({"serial", "--x", "1"}), "unknown option '--x' for 'serial'");
  EXPECT_EQ(Error({"grab", "--frames"}), "option --frames needs a value");
  EXPECT_EQ(Error({"grab", "--json=yes"}), "option --json takes no value");
  EXPECT_EQ(Error({"grab", "--out", "a", "--out", "b"}), "option --out given more than once");
  EXPECT_EQ(Error({"--interface", "grabline", "list", "--interface", "grabline"}),
            "option --interface given more than once");
  EXPECT_EQ(Error({"grab", "-f"}), "unknown option '-f'");
  EXPECT_EQ(Error({"grab", "--"}), "unknown option '--'");
  EXPECT_EQ(Error({"grab", "--\x1b[31m"}), "unknown option '--\\x1B[31m' for 'grab'");
  // One command a line: a second command's name is a plain argument.
  EXPECT_EQ(Error({"grab", "list"}), "unexpected argument 'list'");
}

TEST(ToolOptions, DefaultsAndValues) {
  Options defaults = Built({"grab"});
  EXPECT_EQ(defaults.interface, "grablinexl");
  EXPECT_EQ(defaults.mode, GrabMode::kSnap);
  EXPECT_EQ(defaults.frames, kDefaultFrames);
  EXPECT_EQ(defaults.duration, 0);
  EXPECT_EQ(defaults.out, "out");
  EXPECT_EQ(defaults.every, 1u);
  EXPECT_FALSE(defaults.open.device || defaults.open.camera || defaults.open.port ||
               defaults.open.color || defaults.open.bits);

  Options o = Built({"grab",       "--interface", "pargrabline", "--device",   "R64:1", "--camera",
                     "gray12.cam", "--port",      "1",           "--color",    "rgb",   "--bits",
                     "-1",         "--mode",      "async",       "--duration", "2.5",   "--timeout",
                     "100",        "--buffers",   "8",           "--volatile", "--out", "o",
                     "--every",    "0",           "--json",      "--max-age",  "50"});
  EXPECT_EQ(o.interface, "pargrabline");
  EXPECT_EQ(*o.open.device, "R64:1");
  EXPECT_EQ(*o.open.camera, "gray12.cam");
  EXPECT_EQ(*o.open.port, 1);
  EXPECT_EQ(*o.open.color, "rgb");
  EXPECT_EQ(*o.open.bits, -1);
  EXPECT_EQ(o.mode, GrabMode::kAsync);
  EXPECT_EQ(o.frames, 0u) << "a duration alone grabs until it is over";
  EXPECT_EQ(o.duration, 2.5);
  EXPECT_EQ(*o.timeout_ms, 100);
  EXPECT_EQ(*o.buffers, 8);
  EXPECT_TRUE(o.volatile_images);
  EXPECT_EQ(o.every, 0u);
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.max_age_ms, 50);
  EXPECT_EQ(Built({"grab", "--mode", "continuous"}).mode, GrabMode::kContinuous);

  // On view --port is the HTTP port; the camera's is --camera-port.
  Options view = Built({"view"});
  EXPECT_EQ(view.http_port, 8080);
  EXPECT_EQ(view.listen, "127.0.0.1");
  EXPECT_TRUE(view.open_browser);
  EXPECT_FALSE(view.open.port);
  view = Built({"view", "--port", "0", "--camera-port", "1", "--listen", "0.0.0.0", "--no-open",
                "--set", "a=1"});
  EXPECT_EQ(view.http_port, 0);
  EXPECT_EQ(*view.open.port, 1);
  EXPECT_EQ(view.listen, "0.0.0.0");
  EXPECT_FALSE(view.open_browser);
  EXPECT_EQ(view.ops.size(), 1u);
}

TEST(ToolOptions, SetsAndGetsKeepTheirOrder) {
  Options o =
      Built({"param", "--get", "a", "--set", "b=1,s:x", "--set", "do_abort_grab", "--get", "a"});
  ASSERT_EQ(o.ops.size(), 4u);
  EXPECT_EQ(o.ops[0], (ParamOp{true, "a", {}}));
  EXPECT_EQ(o.ops[1], (ParamOp{false, "b", {ParamValue::Int(1), ParamValue::Str("x")}}));
  EXPECT_EQ(o.ops[2], (ParamOp{false, "do_abort_grab", {}}));
  EXPECT_EQ(o.ops[3], (ParamOp{true, "a", {}}));
  EXPECT_TRUE(Built({"param", "list"}).list_params);
}

TEST(ToolOptions, EveryBadValueNamesItsOption) {
  EXPECT_EQ(Error({"grab", "--frames", "abc"}), "--frames: 'abc' is not a whole number");
  EXPECT_EQ(Error({"grab", "--frames", "0"}), "--frames: '0' is out of range (1 to 1000000000)");
  EXPECT_EQ(Error({"grab", "--frames", "99999999999999999999"}),
            "--frames: '99999999999999999999' is out of range (1 to 1000000000)");
  EXPECT_EQ(Error({"grab", "--frames", ""}), "--frames: '' is not a whole number");
  EXPECT_EQ(Error({"grab", "--every", "-1"}), "--every: '-1' is out of range (0 to 1000000000)");
  EXPECT_EQ(Error({"grab", "--timeout", "2147483648"}),
            "--timeout: '2147483648' is out of range (0 to 2147483647)");
  EXPECT_EQ(Error({"grab", "--buffers", "1"}), "--buffers: '1' is out of range (2 to 65535)");
  EXPECT_EQ(Error({"grab", "--port", "-1"}), "--port: '-1' is out of range (0 to 2147483647)");
  EXPECT_EQ(Error({"view", "--camera-port", "-1"}),
            "--camera-port: '-1' is out of range (0 to 2147483647)");
  EXPECT_EQ(Error({"view", "--port", "65536"}), "--port: '65536' is out of range (0 to 65535)");
  EXPECT_EQ(Error({"view", "--listen", ""}), "--listen: empty");
  EXPECT_EQ(Error({"grab", "--bits", "65"}),
            "--bits: '65' is out of range (1 to 64); or -1 for the camera's depth");
  EXPECT_EQ(Error({"grab", "--bits", "x"}),
            "--bits: 'x' is not a whole number; or -1 for the camera's depth");
  EXPECT_EQ(Error({"grab", "--duration", "0"}),
            "--duration: '0' is out of range (more than 0, at most 1000000 seconds)");
  EXPECT_EQ(Error({"grab", "--duration", "nan"}), "--duration: 'nan' is not a number of seconds");
  EXPECT_EQ(Error({"grab", "--duration", "1e9"}),
            "--duration: '1e9' is out of range (more than 0, at most 1000000 seconds)");
  EXPECT_EQ(Error({"grab", "--mode", "burst"}),
            "--mode: 'burst' is not one of snap, async, continuous");
  EXPECT_EQ(Error({"grab", "--color", "RGB"}), "--color: 'RGB' is not one of gray, rgb");
  EXPECT_EQ(Error({"grab", "--interface", "grablinexxl"}),
            "--interface: unknown interface 'grablinexxl' (grablinexl, grabline, pargrabline)");
  EXPECT_EQ(Error({"grab", "--device", ""}), "--device: empty");
  EXPECT_EQ(Error({"grab", "--camera", std::string(1024, 'c')}),
            "--camera: longer than 1023 bytes");
  EXPECT_EQ(Error({"grab", "--out", ""}), "--out: empty");
  EXPECT_EQ(Error({"list", "--system", ""}), "--system: empty");
  EXPECT_EQ(Error({"grab", "--max-age", "5"}), "--max-age: only with --mode async");
}

TEST(ToolOptions, TriggerSources) {
  EXPECT_EQ(Built({"grab"}).trigger, TriggerSource::kCamera);
  EXPECT_EQ(Built({"grab", "--trigger", "software"}).trigger, TriggerSource::kSoftware);
  Options external = Built({"grab", "--trigger", "external"});
  EXPECT_EQ(external.trigger, TriggerSource::kExternal);
  EXPECT_EQ(external.pulse_rate, kDefaultPulseRate);
  EXPECT_EQ(Built({"grab", "--trigger", "external", "--pulse-rate", "0"}).pulse_rate, 0);
  EXPECT_EQ(Built({"grab", "--trigger", "external", "--pulse-rate", "0.01"}).pulse_rate, 0.01);
  EXPECT_EQ(Error({"grab", "--trigger", "hardware"}),
            "--trigger: 'hardware' is not one of software, external");
  EXPECT_EQ(Error({"grab", "--pulse-rate", "10"}), "--pulse-rate: only with --trigger external");
  // A rate so low its period would not fit the clock is refused, not waited out.
  for (const char *rate : {"0.001", "1e-300", "-1", "10001", "inf", "x"}) {
    EXPECT_EQ(Error({"grab", "--trigger", "external", "--pulse-rate", rate}),
              "--pulse-rate: '" + std::string(rate) + "' is not 0 or a rate from 0.01 to 10000 Hz");
  }
}

TEST(ToolOptions, SerialCommandsAndSettings) {
  Options o = Built({"serial", "--device", "R64:1", "--baud", "115200", "--timeout", "20",
                     "--lines", "0", "ID?", "EXP 5"});
  EXPECT_EQ(*o.open.device, "R64:1");
  EXPECT_EQ(*o.baud, 115200);
  EXPECT_EQ(*o.serial_timeout_ms, 20);
  EXPECT_EQ(o.answer_lines, 0u);
  EXPECT_FALSE(o.interactive);
  EXPECT_EQ(o.serial_commands, (std::vector<std::string>{"ID?", "EXP 5"}));
  Options console = Built({"serial", "--interactive"});
  EXPECT_TRUE(console.interactive);
  EXPECT_EQ(console.answer_lines, 1u);
  EXPECT_FALSE(console.baud || console.serial_timeout_ms);

  EXPECT_EQ(*Built({"serial", "--baud", "0x2580", "x"}).baud, 9600);
  EXPECT_EQ(Error({"serial", "--baud", "9601", "x"}),
            "--baud: '9601' is not one of 9600, 19200, 38400, 57600, 115200, 230400");
  EXPECT_EQ(Error({"serial", "ID?", std::string("a\0b", 3)}),
            "command 'a\\x00b' holds a line end or NUL (the tool ends each command with CR)");
  EXPECT_EQ(Error({"serial", std::string(kMaxSerialCommand + 1, 'a')}),
            "command longer than 1024 bytes");
  EXPECT_EQ(Error({"serial", "--frames", "1"}), "unknown option '--frames' for 'serial'");
  EXPECT_EQ(Error({"grab", "--baud", "9600"}), "unknown option '--baud' for 'grab'");
}

TEST(ToolOptions, BadParameterOperations) {
  EXPECT_EQ(Error({"grab", "--set", "=5"}), "--set: empty parameter name");
  EXPECT_EQ(Error({"param", "--get", "a=b"}),
            "--get: parameter name 'a=b' has a blank, a '=' or a character outside printable "
            "ASCII");
  EXPECT_EQ(Error({"param", "--set", "grab_timeout="}),
            "--set grab_timeout: no value given (write --set grab_timeout for an action without "
            "value, s: for an empty string)");
  EXPECT_EQ(Error({"param", "--set", "grab_timeout=i:1.5"}),
            "--set grab_timeout: '1.5' is not an integer");
  EXPECT_EQ(Error({"param"}),
            "nothing to do (give --set NAME=VALUE or --get NAME, or 'param list')");
  EXPECT_EQ(Error({"param", "list", "--get", "x"}), "param list: takes no --set or --get");
  EXPECT_EQ(Error({"param", "lst"}), "unexpected argument 'lst'");
  EXPECT_EQ(Error({"grab", "now"}), "unexpected argument 'now'");
}

}  // namespace
}  // namespace grabline::tool
