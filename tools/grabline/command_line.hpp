// command_line.hpp — how the tool's command line is declared. Each option is declared
// once (options.cpp): its name, value word, help line, group, and the check that
// stores its value. command_line.cpp makes CLI11 subcommands and options of the
// declarations, reads the arguments with them and writes the help from them.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "options.hpp"

namespace CLI {
class App;
}

namespace grabline::tool {

// A refused command line; the message is shown as it is.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One option as given: its name without "--" and its value as typed.
struct OptionUse {
  std::string_view name;
  std::string value;
};

// Checks one value and stores it into the options; throws UsageError naming the option.
using StoreValue = void (*)(const OptionUse &use, Options *options);

struct LineReading;

// Declares the options of one command, or those of every command, group by group.
class OptionDeclarer {
 public:
  OptionDeclarer(CLI::App *app, LineReading *reading) : app_(app), reading_(reading) {}

  // The options declared next are listed under this title.
  void Group(std::string_view title) { group_ = title; }
  // --NAME WORD, at most once.
  void Value(std::string_view name, std::string_view word, std::string_view description,
             StoreValue store);
  // --NAME WORD, any number of times.
  void Repeated(std::string_view name, std::string_view word, std::string_view description,
                StoreValue store);
  // --NAME without a value; `store` sees an empty value.
  void Flag(std::string_view name, std::string_view description, StoreValue store);

 private:
  enum class Form { kFlag, kOnce, kRepeated };
  void Add(Form form, std::string_view name, std::string_view word, std::string_view description,
           StoreValue store);

  CLI::App *app_;
  LineReading *reading_;
  std::string group_;
};

struct CommandDeclaration {
  Command command;
  std::string_view name;
  std::string_view head;  // usage and description, before the options in the help
  std::string_view tail;  // after them, or empty
  void (*declare_options)(OptionDeclarer &declare);  // null: the common ones only
  // Once every value is stored: takes the plain arguments given with the command and
  // checks the options together. `given` names the options given, in order. Throws
  // UsageError.
  void (*finish)(const std::vector<std::string> &arguments,
                 const std::vector<std::string_view> &given, Options *options);
};

// The declarations (options.cpp).
std::span<const CommandDeclaration> Commands();
void DeclareCommonOptions(OptionDeclarer &declare);

}  // namespace grabline::tool
