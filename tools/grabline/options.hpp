// options.hpp — the checked options of each command, read from the command line.
// Every value is validated with a message that names the option.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "value_text.hpp"

namespace grabline::tool {

enum class Command { kNone, kGrab, kList, kParam, kInfo, kSerial, kView };

// Longest device or camera name the host's instance record holds.
inline constexpr size_t kMaxOpenText = 1023;

// What to open; unset fields keep the plug-in's class defaults.
struct OpenOptions {
  std::optional<std::string> device;
  std::optional<std::string> camera;
  std::optional<int32_t> port;
  std::optional<std::string> color;
  std::optional<int32_t> bits;
};

// One --set or --get, in the order given.
struct ParamOp {
  bool get = false;
  std::string name;
  std::vector<ParamValue> values;  // empty for an action without value
  bool operator==(const ParamOp &) const = default;
};

enum class GrabMode { kSnap, kAsync, kContinuous };
// kCamera: as the camera file sets the board up.
enum class TriggerSource { kCamera, kSoftware, kExternal };

// Rates the external-trigger pulse generator of the simulated board runs at.
inline constexpr double kDefaultPulseRate = 100;
// The ring continuous grabbing (grab --mode continuous, view) starts with.
inline constexpr int32_t kContinuousBuffers = 8;
inline constexpr double kMinPulseRate = 0.01;
inline constexpr double kMaxPulseRate = 10000;
// The longest serial command the tool sends, terminator excluded.
inline constexpr size_t kMaxSerialCommand = 1024;
inline constexpr uint32_t kMaxSerialLines = 64;

struct Options {
  Command command = Command::kNone;
  std::string interface = "grablinexl";
  std::optional<std::string> system;
  std::optional<std::string> cameras;
  OpenOptions open;
  std::vector<ParamOp> ops;

  // grab
  GrabMode mode = GrabMode::kSnap;
  uint64_t frames = 0;  // 0: until the duration is over
  double duration = 0;  // seconds, 0: until the frames are in
  std::optional<int32_t> timeout_ms;
  std::optional<int32_t> buffers;
  int32_t max_age_ms = 1000;
  bool volatile_images = false;
  std::string out = "out";
  uint64_t every = 1;  // save every Nth frame, 0: none
  bool json = false;
  TriggerSource trigger = TriggerSource::kCamera;
  double pulse_rate = kDefaultPulseRate;  // Hz, 0: the tool sends no pulses

  // serial
  std::optional<int32_t> baud;
  std::optional<int32_t> serial_timeout_ms;
  uint32_t answer_lines = 1;  // lines read after each command
  bool interactive = false;
  std::vector<std::string> serial_commands;

  // param
  bool list_params = false;

  // view
  int32_t http_port = 8080;  // 0: the system picks a free port
  std::string listen = "127.0.0.1";
  bool open_browser = true;
};

// Frames grabbed when neither --frames nor --duration is given.
inline constexpr uint64_t kDefaultFrames = 10;

// What a command line asks for.
enum class Request {
  kRun,    // options->command with *options (kNone: no command given)
  kHelp,   // the help of options->command (kNone: the tool's overview)
  kError,  // *error says what is wrong; options->command names the command if known
};

// `args` without the program name. On a help request the options are filled as far
// as their values pass, for the options that change the help (--cameras).
Request ParseOptions(std::span<const std::string_view> args, Options *options, std::string *error);

// Help of `command` (kNone: the tool's overview). `cameras_dir` is where camera files
// are looked for by default.
std::string HelpText(Command command, std::string_view cameras_dir);

// "grab", "list", ...; "grabline" for kNone.
std::string_view CommandName(Command command);

}  // namespace grabline::tool
