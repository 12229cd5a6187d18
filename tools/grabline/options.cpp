#include "options.hpp"

#include <algorithm>
#include <iterator>

#include "interfaces.hpp"

namespace grabline::tool {
namespace {

constexpr int64_t kInt32Max = 2147483647;
constexpr int64_t kMaxFrames = 1000000000;
constexpr double kMaxDuration = 1000000;
constexpr size_t kMaxPathText = 4096;

std::string Quoted(std::string_view text) { return "'" + Printable(text, 64) + "'"; }

bool IntegerOption(const OptionUse &use, int64_t min, int64_t max, int64_t *value,
                   std::string *error) {
  NumberStatus status = ParseInteger(use.value, value);
  if (status == NumberStatus::kSyntax) {
    *error = "--" + use.name + ": " + Quoted(use.value) + " is not a whole number";
    return false;
  }
  if (status == NumberStatus::kRange || *value < min || *value > max) {
    *error = "--" + use.name + ": " + Quoted(use.value) + " is out of range (" +
             std::to_string(min) + " to " + std::to_string(max) + ")";
    return false;
  }
  return true;
}

template <typename T>
bool IntegerInto(const OptionUse &use, int64_t min, int64_t max, T *field, std::string *error) {
  int64_t value = 0;
  if (!IntegerOption(use, min, max, &value, error)) return false;
  *field = static_cast<T>(value);
  return true;
}

bool TextOption(const OptionUse &use, size_t max_length, std::string *field, std::string *error) {
  if (use.value.empty()) {
    *error = "--" + use.name + ": empty";
    return false;
  }
  if (use.value.size() > max_length) {
    *error = "--" + use.name + ": longer than " + std::to_string(max_length) + " bytes";
    return false;
  }
  if (use.value.find('\0') != std::string::npos) {
    *error = "--" + use.name + ": contains a NUL byte";
    return false;
  }
  *field = use.value;
  return true;
}

bool ChoiceOption(const OptionUse &use, std::initializer_list<std::string_view> choices,
                  std::string *field, std::string *error) {
  for (std::string_view choice : choices) {
    if (use.value == choice) {
      *field = use.value;
      return true;
    }
  }
  std::string list;
  for (std::string_view choice : choices) list += (list.empty() ? "" : ", ") + std::string(choice);
  *error = "--" + use.name + ": " + Quoted(use.value) + " is not one of " + list;
  return false;
}

bool DurationOption(const OptionUse &use, double *field, std::string *error) {
  double value = 0;
  NumberStatus status = ParseDecimal(use.value, &value);
  if (status == NumberStatus::kSyntax) {
    *error = "--duration: " + Quoted(use.value) + " is not a number of seconds";
    return false;
  }
  if (status == NumberStatus::kRange || !(value > 0) || value > kMaxDuration) {
    *error = "--duration: " + Quoted(use.value) + " is out of range (more than 0, at most " +
             std::to_string(static_cast<int64_t>(kMaxDuration)) + " seconds)";
    return false;
  }
  *field = value;
  return true;
}

bool PulseRateOption(const OptionUse &use, double *field, std::string *error) {
  double value = 0;
  const NumberStatus status = ParseDecimal(use.value, &value);
  // Below kMinPulseRate the period soon stops fitting the clock (1e-300 Hz), long
  // after it stopped being of use.
  if (status != NumberStatus::kOk || (value != 0 && value < kMinPulseRate) ||
      value > kMaxPulseRate) {
    *error = "--pulse-rate: " + Quoted(use.value) + " is not 0 or a rate from 0.01 to " +
             std::to_string(static_cast<int64_t>(kMaxPulseRate)) + " Hz";
    return false;
  }
  *field = value;
  return true;
}

bool ParamOption(const OptionUse &use, ParamOp *op, std::string *error) {
  op->get = use.name == "get";
  std::string_view name = use.value;
  std::string_view value;
  bool has_value = false;
  if (!op->get) SplitAssignment(use.value, &name, &value, &has_value);
  std::string why;
  if (!CheckParamName(name, &why)) {
    *error = "--" + use.name + ": " + why;
    return false;
  }
  op->name = std::string(name);
  if (!has_value) return true;
  if (!ParseParamValues(value, &op->values, &why)) {
    *error = "--set " + Printable(name, 64) + ": " + why;
    if (value.empty()) {
      *error += " (write --set " + Printable(name, 64) +
                " for an action without value, s: for an empty string)";
    }
    return false;
  }
  return true;
}

bool OpenOption(const OptionUse &use, OpenOptions *open, std::string *error) {
  std::string text;
  if (use.name == "device" || use.name == "camera") {
    if (!TextOption(use, kMaxOpenText, &text, error)) return false;
    (use.name == "device" ? open->device : open->camera) = text;
    return true;
  }
  if (use.name == "color") {
    if (!ChoiceOption(use, {"gray", "rgb"}, &text, error)) return false;
    open->color = text;
    return true;
  }
  int32_t number = 0;
  if (use.name == "port") {
    if (!IntegerInto(use, 0, kInt32Max, &number, error)) return false;
    open->port = number;
    return true;
  }
  // -1 asks for the camera's own depth.
  if (use.value == "-1") {
    open->bits = -1;
    return true;
  }
  if (!IntegerInto(use, 1, 64, &number, error)) {
    *error += "; or -1 for the camera's depth";
    return false;
  }
  open->bits = number;
  return true;
}

bool GrabOption(const OptionUse &use, Options *options, std::string *error) {
  const std::string &name = use.name;
  if (name == "mode") {
    std::string mode;
    if (!ChoiceOption(use, {"snap", "async", "continuous"}, &mode, error)) return false;
    options->mode = mode == "snap"    ? GrabMode::kSnap
                    : mode == "async" ? GrabMode::kAsync
                                      : GrabMode::kContinuous;
    return true;
  }
  if (name == "frames") return IntegerInto(use, 1, kMaxFrames, &options->frames, error);
  if (name == "duration") return DurationOption(use, &options->duration, error);
  if (name == "every") return IntegerInto(use, 0, kMaxFrames, &options->every, error);
  if (name == "max-age") return IntegerInto(use, 0, kInt32Max, &options->max_age_ms, error);
  if (name == "out") return TextOption(use, kMaxPathText, &options->out, error);
  if (name == "trigger") {
    std::string source;
    if (!ChoiceOption(use, {"software", "external"}, &source, error)) return false;
    options->trigger = source == "software" ? TriggerSource::kSoftware : TriggerSource::kExternal;
    return true;
  }
  if (name == "pulse-rate") return PulseRateOption(use, &options->pulse_rate, error);
  if (name == "volatile" || name == "json") {
    (name == "json" ? options->json : options->volatile_images) = true;
    return true;
  }
  int32_t number = 0;
  if (name == "timeout") {
    if (!IntegerInto(use, 0, kInt32Max, &number, error)) return false;
    options->timeout_ms = number;
    return true;
  }
  if (name == "buffers") {
    if (!IntegerInto(use, 2, 65535, &number, error)) return false;
    options->buffers = number;
    return true;
  }
  *error = "--" + name + ": not an option of this command";
  return false;
}

constexpr int64_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200, 230400};

bool SerialOption(const OptionUse &use, Options *options, std::string *error) {
  const std::string &name = use.name;
  if (name == "interactive") {
    options->interactive = true;
    return true;
  }
  if (name == "lines") return IntegerInto(use, 0, kMaxSerialLines, &options->answer_lines, error);
  int32_t number = 0;
  if (name == "timeout") {
    if (!IntegerInto(use, 1, kInt32Max, &number, error)) return false;
    options->serial_timeout_ms = number;
    return true;
  }
  // The rates the port can be set to; anything else would only fail later, less clearly.
  int64_t rate = 0;
  if (ParseInteger(use.value, &rate) == NumberStatus::kOk &&
      std::find(std::begin(kBaudRates), std::end(kBaudRates), rate) != std::end(kBaudRates)) {
    options->baud = static_cast<int32_t>(rate);
    return true;
  }
  *error =
      "--baud: " + Quoted(use.value) + " is not one of 9600, 19200, 38400, 57600, 115200, 230400";
  return false;
}

// A command as the tool sends it, before its terminator.
bool CheckSerialCommand(std::string_view command, std::string *error) {
  if (command.empty()) {
    *error = "empty command";
    return false;
  }
  if (command.size() > kMaxSerialCommand) {
    *error = "command longer than " + std::to_string(kMaxSerialCommand) + " bytes";
    return false;
  }
  if (command.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    *error = "command " + Quoted(command) +
             " holds a line end or NUL (the tool ends each command with CR)";
    return false;
  }
  return true;
}

bool CommonOption(const OptionUse &use, Options *options, std::string *error) {
  if (use.name == "interface") {
    if (FindInterface(use.value) == nullptr) {
      *error = "--interface: unknown interface " + Quoted(use.value) +
               " (grablinexl, grabline, pargrabline)";
      return false;
    }
    options->interface = use.value;
    return true;
  }
  std::string text;
  if (!TextOption(use, kMaxPathText, &text, error)) return false;
  (use.name == "system" ? options->system : options->cameras) = text;
  return true;
}

bool IsOpenOption(std::string_view name) {
  return name == "device" || name == "camera" || name == "port" || name == "color" ||
         name == "bits";
}

}  // namespace

bool BuildOptions(const CommandLine &line, Options *options, std::string *error) {
  *options = Options{};
  options->command = line.command;
  bool max_age_given = false;
  bool pulse_rate_given = false;
  for (const OptionUse &use : line.options) {
    bool ok = true;
    if (use.name == "interface" || use.name == "system" || use.name == "cameras") {
      ok = CommonOption(use, options, error);
    } else if (IsOpenOption(use.name)) {
      ok = OpenOption(use, &options->open, error);
    } else if (line.command == Command::kSerial) {
      ok = SerialOption(use, options, error);
    } else if (use.name == "set" || use.name == "get") {
      ParamOp op;
      ok = ParamOption(use, &op, error);
      if (ok) options->ops.push_back(std::move(op));
    } else {
      max_age_given = max_age_given || use.name == "max-age";
      pulse_rate_given = pulse_rate_given || use.name == "pulse-rate";
      ok = GrabOption(use, options, error);
    }
    if (!ok) return false;
  }
  if (line.command == Command::kParam && line.arguments.size() == 1 &&
      line.arguments[0] == "list") {
    options->list_params = true;
  } else if (line.command == Command::kSerial) {
    for (const std::string &command : line.arguments) {
      if (!CheckSerialCommand(command, error)) return false;
      options->serial_commands.push_back(command);
    }
    if (options->serial_commands.empty() && !options->interactive) {
      *error = "nothing to send (give \"COMMAND\" or --interactive)";
      return false;
    }
  } else if (!line.arguments.empty()) {
    *error = "unexpected argument " + Quoted(line.arguments[0]);
    return false;
  }
  if (line.command == Command::kParam && options->ops.empty() && !options->list_params) {
    *error = "nothing to do (give --set NAME=VALUE or --get NAME, or 'param list')";
    return false;
  }
  if (options->list_params && (!options->ops.empty())) {
    *error = "param list: takes no --set or --get";
    return false;
  }
  if (max_age_given && options->mode != GrabMode::kAsync) {
    *error = "--max-age: only with --mode async";
    return false;
  }
  if (pulse_rate_given && options->trigger != TriggerSource::kExternal) {
    *error = "--pulse-rate: only with --trigger external";
    return false;
  }
  if (line.command == Command::kGrab && options->frames == 0 && options->duration == 0) {
    options->frames = kDefaultFrames;
  }
  return true;
}

}  // namespace grabline::tool
