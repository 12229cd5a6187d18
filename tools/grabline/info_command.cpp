// grabline info and grabline param list: what the information queries answer.
#include <algorithm>
#include <cstdio>

#include "commands.hpp"
#include "info_queries.hpp"
#include "param_catalogue.hpp"
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
  std::vector<ParamEntry> params;
  std::string why;
  if (!ListParams(*plugin, &params, &why)) {
    std::fprintf(stderr, "param list: %s\n", why.c_str());
    return kExitFailed;
  }
  // Without an instance the names alone are still worth printing.
  std::unique_ptr<tarvel::Instance> instance =
      OpenInstance(*plugin, options.open, context.cameras_dir, nullptr);
  if (instance != nullptr) DescribeParams(*instance, &params);
  for (const ParamEntry &param : params) {
    std::string marks;
    if (param.read_only) marks += " read-only";
    if (param.write_only) marks += " write-only";
    if (param.hidden) marks += " hidden";
    std::printf("%s%s\n", Printable(param.name).c_str(), marks.c_str());
    if (!param.description.empty()) std::printf("    %s\n", Printable(param.description).c_str());
    if (!param.values.empty()) {
      std::vector<std::string> shown;
      for (const std::string &value : param.values) shown.push_back(Printable(value));
      // "    values: " is as wide as the indent of the lines that follow it.
      std::string lines = WrapItems(shown, 12, kLineWidth);
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
