// The tool's command line on CLI11: the declarations become subcommands and options,
// CLI11 reads the arguments with them, and what it leaves over or refuses becomes the
// tool's own messages.
#include "command_line.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "help_text.hpp"
#include "value_text.hpp"

namespace grabline::tool {

// What one reading of the command line collects while CLI11 goes through it.
struct LineReading {
  struct Given {
    StoreValue store;
    OptionUse use;
  };
  std::vector<Given> given;  // in the order given
  const CommandDeclaration *command = nullptr;
  bool help = false;  // "help [COMMAND]"
  // How many of the arguments CLI11 left over came before the command's name.
  size_t left_before_command = 0;
};

namespace {

constexpr char kEscape = '\x01';
// What a flag given without a value hands its check. Never a value as typed: Escape
// puts kEscape before a typed "++".
const std::string kFlagMark = "++";

// Only escape bytes, optionally followed by one of the forms below.
bool Escapable(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(kEscape), text.size()));
  return text.empty() || text == "--" || text == "++" || text == "{}";
}

// CLI11 reads some arguments in ways the tool has no use for: a lone "--" ends the
// options, a lone "++" ends the command, "--name=" takes the next argument as its
// value, and "--flag={}" is the flag without a value. Such arguments and values reach
// CLI11 behind an escape byte, as does any that already starts with one, so that
// Unescape gives back every value as typed.
std::string Escape(std::string_view arg) {
  if (Escapable(arg)) return kEscape + std::string(arg);
  const size_t equals = arg.find('=');
  if (arg.starts_with("--") && equals != std::string_view::npos &&
      Escapable(arg.substr(equals + 1))) {
    return std::string(arg.substr(0, equals + 1)) + kEscape + std::string(arg.substr(equals + 1));
  }
  return std::string(arg);
}

std::string Unescape(std::string text) {
  if (!text.empty() && text[0] == kEscape && Escapable(text)) text.erase(0, 1);
  return text;
}

std::string UnknownOption(std::string_view arg, const CommandDeclaration *command) {
  if (arg.size() <= 2 || !arg.starts_with("--")) {
    return "unknown option '" + Printable(arg, 64) + "'";
  }
  const std::string_view name = arg.substr(2, arg.find('=') - 2);  // npos - 2: to the end
  std::string message = "unknown option '--" + Printable(name, 64) + "'";
  if (command != nullptr) message += " for '" + std::string(command->name) + "'";
  return message;
}

std::string UnknownCommand(std::string_view name) {
  std::string list;
  for (const CommandDeclaration &command : Commands()) {
    list += (list.empty() ? "" : ", ") + std::string(command.name);
  }
  return "unknown command '" + Printable(name, 64) + "' (commands: " + list + ")";
}

// The arguments CLI11 left over, in order: options no one declared, words before the
// command's name (which can only be a mistyped command), and the command's plain
// arguments, which are returned. A fault before the command's name is the tool's,
// not the command's: `options->command` is then kNone.
std::vector<std::string> TakeLeftOver(const std::vector<std::string> &left,
                                      const LineReading &reading, Options *options) {
  std::vector<std::string> arguments;
  for (size_t i = 0; i < left.size(); ++i) {
    const std::string arg = Unescape(left[i]);
    const CommandDeclaration *command = i < reading.left_before_command ? nullptr : reading.command;
    if (command == nullptr) options->command = Command::kNone;
    if (arg.size() > 1 && arg[0] == '-') throw UsageError(UnknownOption(arg, command));
    if (command == nullptr) throw UsageError(UnknownCommand(arg));
    arguments.push_back(arg);
  }
  return arguments;
}

constexpr size_t kHelpWidth = 90;
constexpr size_t kDescriptionColumn = 20;

// "  --name WORD       description", the description wrapped at word boundaries onto
// lines indented to its column.
std::string OptionLine(const CLI::Option &option) {
  std::string line = "  " + option.get_name();
  if (!option.get_type_name().empty()) line += " " + option.get_type_name();
  line.resize(std::max(line.size() + 2, kDescriptionColumn), ' ');
  std::string out;
  bool words_on_line = false;
  const std::string &description = option.get_description();
  for (size_t start = 0; start < description.size();) {
    const size_t end = std::min(description.find(' ', start), description.size());
    const std::string_view word = std::string_view(description).substr(start, end - start);
    start = end + 1;
    if (words_on_line && line.size() + 1 + word.size() > kHelpWidth) {
      out += line + "\n";
      line.assign(kDescriptionColumn, ' ');
      words_on_line = false;
    }
    line += (words_on_line ? " " : "") + std::string(word);
    words_on_line = true;
  }
  return out + line + "\n";
}

// The help of the tool or a command: its head (usage and prose), each group of its
// options, its tail.
class HelpLayout : public CLI::FormatterBase {
 public:
  std::string make_help(const CLI::App *app, std::string, CLI::AppFormatMode) const override {
    std::string out = app->get_description();
    for (const std::string &group : app->get_groups()) {
      const std::vector<const CLI::Option *> options =
          app->get_options([&](const CLI::Option *option) {
            return option->get_group() == group && option != app->get_help_ptr();
          });
      if (group.empty() || options.empty()) continue;
      out += "\n" + group + ":\n";
      for (const CLI::Option *option : options) out += OptionLine(*option);
    }
    const std::string tail = app->get_footer();
    if (!tail.empty()) out += "\n" + tail;
    return out;
  }
};

std::unique_ptr<CLI::App> MakeApp(LineReading *reading, std::string_view cameras_dir) {
  auto app = std::make_unique<CLI::App>(std::string(help::kOverviewHead), "grabline");
  CLI::App *tool = app.get();
  tool->formatter(std::make_shared<HelpLayout>());
  // Undeclared options and plain arguments are left over for TakeLeftOver; the
  // options of every command are taken after the command's name too.
  tool->allow_extras()->fallthrough();
  OptionDeclarer common(tool, reading);
  DeclareCommonOptions(common);
  for (const CommandDeclaration &command : Commands()) {
    CLI::App *sub = tool->add_subcommand(std::string(command.name), std::string(command.head));
    sub->footer(std::string(command.tail));
    // One command a line: once it starts, the rest are its options and arguments,
    // even a word that names a command.
    sub->preparse_callback([tool, reading, &command](size_t) {
      reading->command = &command;
      reading->left_before_command = tool->remaining().size();
      for (CLI::App *each : tool->get_subcommands([](CLI::App *) { return true; })) {
        each->disabled();
      }
    });
    if (command.declare_options != nullptr) {
      OptionDeclarer own(sub, reading);
      command.declare_options(own);
    }
  }
  CLI::App *help = tool->add_subcommand("help");
  help->preparse_callback([reading, help](size_t) {
    reading->help = true;
    help->disabled();
  });
  tool->footer(help::OverviewTail(cameras_dir));
  return app;
}

}  // namespace

void OptionDeclarer::Value(std::string_view name, std::string_view word,
                           std::string_view description, StoreValue store) {
  Add(Form::kOnce, name, word, description, store);
}

void OptionDeclarer::Repeated(std::string_view name, std::string_view word,
                              std::string_view description, StoreValue store) {
  Add(Form::kRepeated, name, word, description, store);
}

void OptionDeclarer::Flag(std::string_view name, std::string_view description, StoreValue store) {
  Add(Form::kFlag, name, {}, description, store);
}

void OptionDeclarer::Add(Form form, std::string_view name, std::string_view word,
                         std::string_view description, StoreValue store) {
  const std::string flag = "--" + std::string(name);
  const std::string text(description);
  CLI::Option *option = form == Form::kFlag ? app_->add_flag(flag + "{" + kFlagMark + "}", text)
                                            : app_->add_option(flag, CLI::callback_t{}, text);
  option->group(group_)->type_name(std::string(word));
  // Each use as it comes, so that the order given is kept across options.
  option->trigger_on_parse()->each([reading = reading_, form, name, store](std::string value) {
    if (form == Form::kFlag) {
      if (value != kFlagMark) throw UsageError("option --" + std::string(name) + " takes no value");
      value.clear();
    } else {
      value = Unescape(std::move(value));
    }
    const auto same = [name](const LineReading::Given &given) { return given.use.name == name; };
    if (form != Form::kRepeated &&
        std::any_of(reading->given.begin(), reading->given.end(), same)) {
      throw UsageError("option --" + std::string(name) + " given more than once");
    }
    reading->given.push_back({store, {name, std::move(value)}});
  });
}

Request ParseOptions(std::span<const std::string_view> args, Options *options, std::string *error) {
  *options = Options{};
  LineReading reading;
  const std::unique_ptr<CLI::App> app = MakeApp(&reading, {});
  // CLI11 takes the arguments from the back.
  std::vector<std::string> pending;
  for (auto arg = args.rbegin(); arg != args.rend(); ++arg) pending.push_back(Escape(*arg));
  bool help = false;
  std::string malformed;  // where CLI11 stopped
  try {
    app->parse(pending);
  } catch (const CLI::CallForHelp &) {
    help = true;
  } catch (const CLI::ArgumentMismatch &) {
    // An option that takes a value ran out of arguments, so it is the last one.
    malformed = "option " + std::string(args.back()) + " needs a value";
  } catch (const UsageError &fault) {
    malformed = fault.what();
  } catch (const CLI::Error &fault) {
    malformed = fault.what();
  }
  help = help || reading.help;
  options->command = reading.command != nullptr ? reading.command->command : Command::kNone;
  std::vector<std::string> arguments;
  try {
    // Left-over arguments first: they came before the point CLI11 stopped at.
    arguments = TakeLeftOver(app->remaining(), reading, options);
    if (!malformed.empty()) throw UsageError(malformed);
  } catch (const UsageError &fault) {
    *error = fault.what();
    return Request::kError;
  }
  try {
    std::vector<std::string_view> given;
    for (const LineReading::Given &use : reading.given) {
      use.store(use.use, options);
      given.push_back(use.use.name);
    }
    if (help) return Request::kHelp;
    if (reading.command != nullptr) reading.command->finish(arguments, given, options);
  } catch (const UsageError &fault) {
    if (help) return Request::kHelp;
    *error = fault.what();
    return Request::kError;
  }
  return Request::kRun;
}

std::string HelpText(Command command, std::string_view cameras_dir) {
  LineReading unused;
  const std::unique_ptr<CLI::App> app = MakeApp(&unused, cameras_dir);
  if (command == Command::kNone) return app->help();
  return app->get_subcommand(std::string(CommandName(command)))->help();
}

}  // namespace grabline::tool
