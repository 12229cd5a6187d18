// grabline info and grabline param list: what the information queries answer.
#include <algorithm>
#include <cstdio>

#include "commands.hpp"
#include "info_queries.hpp"
#include "session.hpp"
#include "tarvel_host.hpp"

namespace grabline::tool {
namespace {

constexpr size_t kLineWidth = 88;

// Numbers in the value syntax (a decimal keeps its point), texts as they are.
std::vector<std::string> ValueTexts(const std::vector<tarvel::Value> &values) {
  std::vector<std::string> texts;
  for (const ParamValue &value : FromHost(values)) {
    texts.push_back(value.type == ParamValue::Type::kString ? Printable(value.s)
                                                            : FormatParamValues({value}));
  }
  return texts;
}

// The names a list query gives, or false after printing why not.
bool QueryNames(tarvel::Plugin &plugin, int32_t kind, std::string_view name,
                std::vector<std::string> *names) {
  tarvel::Plugin::Info info = plugin.Query(kind);
  if (!Succeeded(info.result)) {
    std::fprintf(stderr, "param list: %s: %s\n", std::string(name).c_str(),
                 CodeText(info.result).c_str());
    return false;
  }
  names->clear();
  for (const tarvel::Value &value : info.values) {
    if (value.type == tarvel::Value::Type::kString) names->push_back(value.s);
  }
  return true;
}

struct ParamHelp {
  std::string description;
  std::vector<std::string> values;
};

// What the plug-in answers for NAME_description and NAME_values; names it has no
// answer for are refused by it, and are simply left without.
ParamHelp HelpOf(tarvel::Instance &instance, const std::string &name) {
  ParamHelp help;
  // Family names ("out:xx") stand for many parameters and have no help of their own;
  // asking would read a register of that name instead.
  if (name.find(':') != std::string::npos) return help;
  std::vector<tarvel::Value> values;
  StartOperation();
  if (Succeeded(instance.GetParam(name + "_description", &values))) {
    for (const tarvel::Value &value : values) {
      if (value.type != tarvel::Value::Type::kString) continue;
      help.description += (help.description.empty() ? "" : " ") + value.s;
    }
  }
  values.clear();
  StartOperation();
  if (Succeeded(instance.GetParam(name + "_values", &values))) help.values = ValueTexts(values);
  return help;
}

bool Contains(const std::vector<std::string> &names, const std::string &name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

int RunInfo(const Options &options, const ToolContext &) {
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(options.interface);
  if (plugin == nullptr) return kExitFailed;
  std::printf("%s\n", options.interface.c_str());
  int failed = 0;
  for (const QueryKind &query : kQueryKinds) {
    StartOperation();
    tarvel::Plugin::Info info = plugin->Query(query.kind);
    std::printf("  %s (%d): ", std::string(query.name).c_str(), query.kind);
    if (!Succeeded(info.result)) {
      std::printf("%s\n", CodeText(info.result).c_str());
      ++failed;
      continue;
    }
    std::printf("%s\n", Printable(info.description).c_str());
    std::fputs(WrapItems(ValueTexts(info.values), 6, kLineWidth).c_str(), stdout);
  }
  if (failed == 0) return kExitOk;
  std::fprintf(stderr, "info: %d of %zu information queries failed\n", failed,
               std::size(kQueryKinds));
  return kExitFailed;
}

int RunParamList(const Options &options, const ToolContext &context) {
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(options.interface);
  if (plugin == nullptr) return kExitFailed;
  std::vector<std::string> all, read_only, write_only, hidden;
  if (!QueryNames(*plugin, kQueryParameters, "FG_QUERY_PARAMETERS", &all) ||
      !QueryNames(*plugin, kQueryParametersRo, "FG_QUERY_PARAMETERS_RO", &read_only) ||
      !QueryNames(*plugin, kQueryParametersWo, "FG_QUERY_PARAMETERS_WO", &write_only) ||
      !QueryNames(*plugin, kQueryParametersHidden, "FG_QUERY_PARAMETERS_HIDDEN", &hidden)) {
    return kExitFailed;
  }
  // The lists are the plug-in's; a name only in a side list is shown too.
  for (const auto *list : {&read_only, &write_only, &hidden}) {
    for (const std::string &name : *list) {
      if (!Contains(all, name)) all.push_back(name);
    }
  }
  // Descriptions and value lists are answers of the get operation, so they need an
  // instance; without one the names alone are still worth printing.
  std::unique_ptr<tarvel::Instance> instance =
      OpenInstance(*plugin, options.open, context.cameras_dir, nullptr);
  for (const std::string &name : all) {
    std::string marks;
    if (Contains(read_only, name)) marks += " read-only";
    if (Contains(write_only, name)) marks += " write-only";
    if (Contains(hidden, name)) marks += " hidden";
    std::printf("%s%s\n", Printable(name).c_str(), marks.c_str());
    if (instance == nullptr) continue;
    const ParamHelp help = HelpOf(*instance, name);
    if (!help.description.empty()) std::printf("    %s\n", Printable(help.description).c_str());
    if (!help.values.empty()) {
      // "    values: " is as wide as the indent of the lines that follow it.
      std::string lines = WrapItems(help.values, 12, kLineWidth);
      std::printf("    values: %s", lines.substr(12).c_str());
    }
  }
  if (instance == nullptr) {
    std::fprintf(stderr, "param list: no descriptions or value lists without an open instance\n");
    return kExitFailed;
  }
  StartOperation();
  const Terr closed = instance->Close();
  if (!Succeeded(closed)) {
    ReportFailure("close", closed);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace grabline::tool
