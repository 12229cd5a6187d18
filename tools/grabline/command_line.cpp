#include "command_line.hpp"

#include <algorithm>

#include "value_text.hpp"

namespace grabline::tool {
namespace {

struct OptionSpec {
  std::string_view name;
  bool takes_value;
  bool repeatable;
};

// Every command accepts these, before or after its name.
constexpr OptionSpec kCommonOptions[] = {
    {"interface", true, false},
    {"system", true, false},
    {"cameras", true, false},
};
// Options that describe the instance to open.
constexpr OptionSpec kOpenOptions[] = {
    {"device", true, false}, {"camera", true, false}, {"port", true, false},
    {"color", true, false},  {"bits", true, false},
};
constexpr OptionSpec kGrabOptions[] = {
    {"mode", true, false},       {"frames", true, false},  {"duration", true, false},
    {"timeout", true, false},    {"buffers", true, false}, {"volatile", false, false},
    {"set", true, true},         {"out", true, false},     {"every", true, false},
    {"json", false, false},      {"max-age", true, false}, {"trigger", true, false},
    {"pulse-rate", true, false},
};
constexpr OptionSpec kSerialOptions[] = {
    {"baud", true, false},
    {"timeout", true, false},
    {"lines", true, false},
    {"interactive", false, false},
};
constexpr OptionSpec kParamOptions[] = {
    {"set", true, true},
    {"get", true, true},
};

struct CommandSpec {
  std::string_view name;
  Command command;
  bool opens;  // takes the open options
  std::span<const OptionSpec> own;
};

constexpr CommandSpec kCommands[] = {
    {"grab", Command::kGrab, true, kGrabOptions},       {"list", Command::kList, false, {}},
    {"param", Command::kParam, true, kParamOptions},    {"info", Command::kInfo, false, {}},
    {"serial", Command::kSerial, true, kSerialOptions},
};

const CommandSpec *FindCommand(std::string_view name) {
  for (const CommandSpec &entry : kCommands) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const CommandSpec *FindCommand(Command command) {
  for (const CommandSpec &entry : kCommands) {
    if (entry.command == command) return &entry;
  }
  return nullptr;
}

const OptionSpec *FindIn(std::span<const OptionSpec> entries, std::string_view name) {
  for (const OptionSpec &entry : entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const OptionSpec *FindOption(const CommandSpec *command, std::string_view name) {
  if (const OptionSpec *entry = FindIn(kCommonOptions, name)) return entry;
  if (command == nullptr) return nullptr;
  if (command->opens) {
    if (const OptionSpec *entry = FindIn(kOpenOptions, name)) return entry;
  }
  return FindIn(command->own, name);
}

std::string UnknownCommand(std::string_view name) {
  return "unknown command '" + Printable(name, 64) +
         "' (commands: grab, list, param, info, serial)";
}

}  // namespace

std::string_view CommandName(Command command) {
  const CommandSpec *entry = FindCommand(command);
  return entry != nullptr ? entry->name : std::string_view("grabline");
}

bool ParseCommandLine(std::span<const std::string_view> args, CommandLine *line,
                      std::string *error) {
  *line = CommandLine{};
  const CommandSpec *command = nullptr;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "-h" || arg == "--help") {
      line->help = true;
      continue;
    }
    if (arg.size() > 2 && arg.substr(0, 2) == "--") {
      const size_t equals = arg.find('=');
      const std::string_view name =
          arg.substr(2, equals == std::string_view::npos ? arg.npos : equals - 2);
      const OptionSpec *entry = FindOption(command, name);
      if (entry == nullptr) {
        *error = "unknown option '--" + Printable(name, 64) + "'";
        if (command != nullptr) *error += " for '" + std::string(command->name) + "'";
        return false;
      }
      OptionUse use{std::string(name), {}};
      if (equals != std::string_view::npos) {
        if (!entry->takes_value) {
          *error = "option --" + use.name + " takes no value";
          return false;
        }
        use.value = std::string(arg.substr(equals + 1));
      } else if (entry->takes_value) {
        if (i + 1 == args.size()) {
          *error = "option --" + use.name + " needs a value";
          return false;
        }
        use.value = std::string(args[++i]);
      }
      const bool seen = std::any_of(line->options.begin(), line->options.end(),
                                    [&](const OptionUse &u) { return u.name == use.name; });
      if (seen && !entry->repeatable) {
        *error = "option --" + use.name + " given more than once";
        return false;
      }
      line->options.push_back(std::move(use));
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + Printable(arg, 64) + "'";
      return false;
    }
    if (command != nullptr) {
      line->arguments.emplace_back(arg);
      continue;
    }
    if (arg == "help" && !line->help) {
      line->help = true;
      continue;
    }
    command = FindCommand(arg);
    if (command == nullptr) {
      *error = UnknownCommand(arg);
      return false;
    }
    line->command = command->command;
  }
  return true;
}

}  // namespace grabline::tool
