// The tool's options, each declared once: name, value word, help line, group, and
// the check that stores its value into Options.
#include "options.hpp"

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "command_line.hpp"
#include "help_text.hpp"
#include "interfaces.hpp"

namespace grabline::tool {
namespace {

constexpr int64_t kInt32Max = 2147483647;
constexpr int64_t kMaxFrames = 1000000000;
constexpr double kMaxDuration = 1000000;
constexpr size_t kMaxPathText = 4096;
// A host name or an address to listen on; host names end at 253 bytes.
constexpr size_t kMaxAddressText = 253;

std::string Quoted(std::string_view text) { return "'" + Printable(text, 64) + "'"; }

[[noreturn]] void Refuse(const OptionUse &use, const std::string &why) {
  throw UsageError("--" + std::string(use.name) + ": " + why);
}

// `also` is added to either message, for a value outside the range that is allowed.
int64_t Integer(const OptionUse &use, int64_t min, int64_t max, std::string_view also = {}) {
  int64_t value = 0;
  const NumberStatus status = ParseInteger(use.value, &value);
  if (status == NumberStatus::kSyntax) {
    Refuse(use, Quoted(use.value) + " is not a whole number" + std::string(also));
  }
  if (status == NumberStatus::kRange || value < min || value > max) {
    Refuse(use, Quoted(use.value) + " is out of range (" + std::to_string(min) + " to " +
                    std::to_string(max) + ")" + std::string(also));
  }
  return value;
}

int32_t Int32(const OptionUse &use, int64_t min, int64_t max) {
  return static_cast<int32_t>(Integer(use, min, max));
}

std::string Text(const OptionUse &use, size_t max_length) {
  if (use.value.empty()) Refuse(use, "empty");
  if (use.value.size() > max_length) {
    Refuse(use, "longer than " + std::to_string(max_length) + " bytes");
  }
  if (use.value.find('\0') != std::string::npos) Refuse(use, "contains a NUL byte");
  return use.value;
}

// The index of the value among `choices`.
size_t Choice(const OptionUse &use, std::initializer_list<std::string_view> choices) {
  const auto found = std::find(choices.begin(), choices.end(), use.value);
  if (found != choices.end()) return static_cast<size_t>(found - choices.begin());
  std::string list;
  for (std::string_view choice : choices) list += (list.empty() ? "" : ", ") + std::string(choice);
  Refuse(use, Quoted(use.value) + " is not one of " + list);
}

void StoreDuration(const OptionUse &use, Options *options) {
  double value = 0;
  const NumberStatus status = ParseDecimal(use.value, &value);
  if (status == NumberStatus::kSyntax) {
    Refuse(use, Quoted(use.value) + " is not a number of seconds");
  }
  if (status == NumberStatus::kRange || !(value > 0) || value > kMaxDuration) {
    Refuse(use, Quoted(use.value) + " is out of range (more than 0, at most " +
                    std::to_string(static_cast<int64_t>(kMaxDuration)) + " seconds)");
  }
  options->duration = value;
}

void StorePulseRate(const OptionUse &use, Options *options) {
  double value = 0;
  const NumberStatus status = ParseDecimal(use.value, &value);
  // Below kMinPulseRate the period soon stops fitting the clock (1e-300 Hz), long
  // after it stopped being of use.
  if (status != NumberStatus::kOk || (value != 0 && value < kMinPulseRate) ||
      value > kMaxPulseRate) {
    Refuse(use, Quoted(use.value) + " is not 0 or a rate from 0.01 to " +
                    std::to_string(static_cast<int64_t>(kMaxPulseRate)) + " Hz");
  }
  options->pulse_rate = value;
}

// --set NAME[=VALUE] or --get NAME.
void StoreParamOp(const OptionUse &use, Options *options) {
  ParamOp op;
  op.get = use.name == "get";
  std::string_view name = use.value;
  std::string_view value;
  bool has_value = false;
  if (!op.get) SplitAssignment(use.value, &name, &value, &has_value);
  std::string why;
  if (!CheckParamName(name, &why)) Refuse(use, why);
  op.name = std::string(name);
  if (has_value && !ParseParamValues(value, &op.values, &why)) {
    std::string message = "--set " + Printable(name, 64) + ": " + why;
    if (value.empty()) {
      message += " (write --set " + Printable(name, 64) +
                 " for an action without value, s: for an empty string)";
    }
    throw UsageError(message);
  }
  options->ops.push_back(std::move(op));
}

void StoreBits(const OptionUse &use, Options *options) {
  // -1 asks for the camera's own depth.
  options->open.bits =
      use.value == "-1"
          ? -1
          : static_cast<int32_t>(Integer(use, 1, 64, "; or -1 for the camera's depth"));
}

void StoreBaud(const OptionUse &use, Options *options) {
  // The rates the port can be set to; anything else would only fail later, less clearly.
  constexpr int64_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200, 230400};
  int64_t rate = 0;
  if (ParseInteger(use.value, &rate) != NumberStatus::kOk ||
      std::find(std::begin(kBaudRates), std::end(kBaudRates), rate) == std::end(kBaudRates)) {
    Refuse(use, Quoted(use.value) + " is not one of 9600, 19200, 38400, 57600, 115200, 230400");
  }
  options->baud = static_cast<int32_t>(rate);
}

// `port_name`: the option that names the camera port.
void DeclareOpenOptions(OptionDeclarer &declare, std::string_view port_name) {
  declare.Group("open options");
  declare.Value("device", "NAME",
                "default (the first board), R64:0, RoadRunner:1, Raven:0, GN2:0 or "
                "Switch:S,Connector:C",
                [](const OptionUse &use, Options *o) { o->open.device = Text(use, kMaxOpenText); });
  declare.Value("camera", "FILE",
                "camera file, or default (the board's own); a name without '/' that is not in "
                "the working directory is looked for in the camera files directory",
                [](const OptionUse &use, Options *o) { o->open.camera = Text(use, kMaxOpenText); });
  declare.Value(port_name, "N", "camera port (default 0)",
                [](const OptionUse &use, Options *o) { o->open.port = Int32(use, 0, kInt32Max); });
  declare.Value("color", "gray|rgb", "colour space (default gray)",
                [](const OptionUse &use, Options *o) {
                  Choice(use, {"gray", "rgb"});
                  o->open.color = use.value;
                });
  declare.Value("bits", "N", "bits per channel; -1 (default): the camera's depth", StoreBits);
}

void DeclareGrabOptions(OptionDeclarer &declare) {
  DeclareOpenOptions(declare, "port");
  declare.Group("grab options");
  declare.Value(
      "mode", "MODE",
      "snap (default): one snap a frame; async: the next snap starts while the last "
      "frame is saved; continuous: the board fills the ring itself, 8 buffers unless "
      "--buffers, and when the tool falls behind the oldest frame is dropped and "
      "counted (overwrite_method ignore, unless --set overwrite_method=abort)",
      [](const OptionUse &use, Options *o) {
        constexpr GrabMode kModes[] = {GrabMode::kSnap, GrabMode::kAsync, GrabMode::kContinuous};
        o->mode = kModes[Choice(use, {"snap", "async", "continuous"})];
      });
  declare.Value("frames", "N", "frames to grab (default 10 unless --duration is given)",
                [](const OptionUse &use, Options *o) {
                  o->frames = static_cast<uint64_t>(Integer(use, 1, kMaxFrames));
                });
  declare.Value("duration", "S", "grab for S seconds (with --frames: whichever ends first)",
                StoreDuration);
  declare.Value("timeout", "MS", "grab_timeout: how long one grab waits for its frame",
                [](const OptionUse &use, Options *o) { o->timeout_ms = Int32(use, 0, kInt32Max); });
  declare.Value("buffers", "N", "num_buffers: buffers in the ring (2 to 65535)",
                [](const OptionUse &use, Options *o) { o->buffers = Int32(use, 2, 65535); });
  declare.Flag("volatile", "images over the ring buffers instead of copies (gray only)",
               [](const OptionUse &, Options *o) { o->volatile_images = true; });
  declare.Repeated("set", "NAME=VALUE",
                   "set a parameter before grabbing; repeatable; values as for param",
                   StoreParamOp);
  declare.Value("max-age", "MS",
                "async only: the oldest started frame a grab still takes (default 1000)",
                [](const OptionUse &use, Options *o) { o->max_age_ms = Int32(use, 0, kInt32Max); });
  declare.Value("out", "DIR", "where the PNG files go (default out)",
                [](const OptionUse &use, Options *o) { o->out = Text(use, kMaxPathText); });
  declare.Value("every", "N", "save every Nth frame (default 1; 0 saves none)",
                [](const OptionUse &use, Options *o) {
                  o->every = static_cast<uint64_t>(Integer(use, 0, kMaxFrames));
                });
  declare.Flag("json",
               "the summary as one JSON object (frames, seconds, fps, dropped, timeouts, "
               "errors, ...)",
               [](const OptionUse &, Options *o) { o->json = true; });
  declare.Value("trigger", "SOURCE",
                "software: every grab fires one software trigger (software_trigger enable; "
                "needs a one-shot camera file such as oneshot8.cam); external: frames follow "
                "the board's trigger input (external_trigger enable; a triggered camera file, "
                "or a board that triggers any camera)",
                [](const OptionUse &use, Options *o) {
                  o->trigger = Choice(use, {"software", "external"}) == 0
                                   ? TriggerSource::kSoftware
                                   : TriggerSource::kExternal;
                });
  declare.Value("pulse-rate", "HZ",
                "with --trigger external: the tool drives the simulated board's trigger input "
                "with pulses at this rate (default 100; 0: no pulses, grabs then wait for a "
                "trigger that never comes)",
                StorePulseRate);
}

void DeclareParamOptions(OptionDeclarer &declare) {
  DeclareOpenOptions(declare, "port");
  declare.Group("param options");
  declare.Repeated("set", "NAME=VALUE", "set a parameter (values below); repeatable", StoreParamOp);
  declare.Repeated("get", "NAME", "read a parameter and print NAME = VALUE; repeatable",
                   StoreParamOp);
}

void DeclareSerialOptions(OptionDeclarer &declare) {
  DeclareOpenOptions(declare, "port");
  declare.Group("serial options");
  declare.Value("baud", "N",
                "line speed: 9600, 19200, 38400, 57600, 115200 or 230400 (serial_baudrate); "
                "unset: the port's current line. The camera hears only at its own speed (the "
                "simulated camera: 9600)",
                StoreBaud);
  declare.Value(
      "timeout", "MS", "how long to wait for each byte of an answer (serial_timeout, default 1000)",
      [](const OptionUse &use, Options *o) { o->serial_timeout_ms = Int32(use, 1, kInt32Max); });
  declare.Value("lines", "N", "answer lines to read after each command (default 1; 0: send only)",
                [](const OptionUse &use, Options *o) {
                  o->answer_lines = static_cast<uint32_t>(Integer(use, 0, kMaxSerialLines));
                });
  declare.Flag("interactive", "read commands from standard input after those given",
               [](const OptionUse &, Options *o) { o->interactive = true; });
}

// The live view takes --port for its HTTP port, as people type it for a server; the
// camera port is --camera-port there.
void DeclareViewOptions(OptionDeclarer &declare) {
  DeclareOpenOptions(declare, "camera-port");
  declare.Group("view options");
  declare.Repeated("set", "NAME=VALUE",
                   "set a parameter before the view starts; repeatable; values as for param",
                   StoreParamOp);
  declare.Value("port", "N", "HTTP port of the view (default 8080; 0: the system picks a free one)",
                [](const OptionUse &use, Options *o) { o->http_port = Int32(use, 0, 65535); });
  declare.Value("listen", "ADDR", "address the view is served on (default 127.0.0.1)",
                [](const OptionUse &use, Options *o) { o->listen = Text(use, kMaxAddressText); });
  declare.Flag("no-open", "do not start a browser on the view's address",
               [](const OptionUse &, Options *o) { o->open_browser = false; });
}

bool Given(const std::vector<std::string_view> &given, std::string_view name) {
  return std::find(given.begin(), given.end(), name) != given.end();
}

void NoArguments(const std::vector<std::string> &arguments, const std::vector<std::string_view> &,
                 Options *) {
  if (!arguments.empty()) throw UsageError("unexpected argument " + Quoted(arguments[0]));
}

void FinishGrab(const std::vector<std::string> &arguments,
                const std::vector<std::string_view> &given, Options *options) {
  NoArguments(arguments, given, options);
  if (Given(given, "max-age") && options->mode != GrabMode::kAsync) {
    throw UsageError("--max-age: only with --mode async");
  }
  if (Given(given, "pulse-rate") && options->trigger != TriggerSource::kExternal) {
    throw UsageError("--pulse-rate: only with --trigger external");
  }
  if (options->frames == 0 && options->duration == 0) options->frames = kDefaultFrames;
}

void FinishParam(const std::vector<std::string> &arguments,
                 const std::vector<std::string_view> &given, Options *options) {
  options->list_params = arguments.size() == 1 && arguments[0] == "list";
  if (!options->list_params) NoArguments(arguments, given, options);
  if (options->ops.empty() && !options->list_params) {
    throw UsageError("nothing to do (give --set NAME=VALUE or --get NAME, or 'param list')");
  }
  if (options->list_params && !options->ops.empty()) {
    throw UsageError("param list: takes no --set or --get");
  }
}

// A command as the tool sends it, before its terminator.
void CheckSerialCommand(std::string_view command) {
  if (command.empty()) throw UsageError("empty command");
  if (command.size() > kMaxSerialCommand) {
    throw UsageError("command longer than " + std::to_string(kMaxSerialCommand) + " bytes");
  }
  if (command.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw UsageError("command " + Quoted(command) +
                     " holds a line end or NUL (the tool ends each command with CR)");
  }
}

void FinishSerial(const std::vector<std::string> &arguments, const std::vector<std::string_view> &,
                  Options *options) {
  for (const std::string &command : arguments) CheckSerialCommand(command);
  options->serial_commands = arguments;
  if (options->serial_commands.empty() && !options->interactive) {
    throw UsageError("nothing to send (give \"COMMAND\" or --interactive)");
  }
}

}  // namespace

void DeclareCommonOptions(OptionDeclarer &declare) {
  declare.Group("options of every command");
  declare.Value("interface", "NAME",
                "plug-in to load: grablinexl (default), grabline or pargrabline; a plug-in of "
                "another host build runs in the tool built for that host (grabline, "
                "grabline-standard, grabline-par, side by side)",
                [](const OptionUse &use, Options *o) {
                  if (FindInterface(use.value) == nullptr) {
                    Refuse(use, "unknown interface " + Quoted(use.value) +
                                    " (grablinexl, grabline, pargrabline)");
                  }
                  o->interface = use.value;
                });
  declare.Value("system", "FILE",
                "simulated boards from this system file (sets GRABLINE_SIM_SYSTEM)",
                [](const OptionUse &use, Options *o) { o->system = Text(use, kMaxPathText); });
  declare.Value("cameras", "DIR", "directory of camera files (sets GRABLINE_CAMERAS)",
                [](const OptionUse &use, Options *o) { o->cameras = Text(use, kMaxPathText); });
}

std::span<const CommandDeclaration> Commands() {
  static const CommandDeclaration kCommands[] = {
      {Command::kGrab, "grab", help::kGrabHead, help::kGrabTail, DeclareGrabOptions, FinishGrab},
      {Command::kList, "list", help::kListHead, {}, nullptr, NoArguments},
      {Command::kParam, "param", help::kParamHead, help::kParamTail, DeclareParamOptions,
       FinishParam},
      {Command::kInfo, "info", help::kInfoHead, {}, nullptr, NoArguments},
      {Command::kSerial, "serial", help::kSerialHead, {}, DeclareSerialOptions, FinishSerial},
      {Command::kView, "view", help::kViewHead, {}, DeclareViewOptions, NoArguments},
  };
  return kCommands;
}

std::string_view CommandName(Command command) {
  for (const CommandDeclaration &declared : Commands()) {
    if (declared.command == command) return declared.name;
  }
  return "grabline";
}

}  // namespace grabline::tool
