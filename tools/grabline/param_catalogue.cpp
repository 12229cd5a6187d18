#include "param_catalogue.hpp"

#include <algorithm>

#include "info_queries.hpp"
#include "session.hpp"

namespace grabline::tool {
namespace {

bool QueryNames(tarvel::Plugin &plugin, int32_t kind, std::string_view name,
                std::vector<std::string> *names, std::string *error) {
  const tarvel::Plugin::Info info = plugin.Query(kind);
  if (!Succeeded(info.result)) {
    *error = std::string(name) + ": " + CodeText(info.result);
    return false;
  }
  for (const tarvel::Value &value : info.values) {
    if (value.type == tarvel::Value::Type::kString) names->push_back(value.s);
  }
  return true;
}

bool Contains(const std::vector<std::string> &names, const std::string &name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool ListParams(tarvel::Plugin &plugin, std::vector<ParamEntry> *entries, std::string *error) {
  std::vector<std::string> all, read_only, write_only, hidden;
  if (!QueryNames(plugin, kQueryParameters, "FG_QUERY_PARAMETERS", &all, error) ||
      !QueryNames(plugin, kQueryParametersRo, "FG_QUERY_PARAMETERS_RO", &read_only, error) ||
      !QueryNames(plugin, kQueryParametersWo, "FG_QUERY_PARAMETERS_WO", &write_only, error) ||
      !QueryNames(plugin, kQueryParametersHidden, "FG_QUERY_PARAMETERS_HIDDEN", &hidden, error)) {
    return false;
  }
  // The lists are the plug-in's; a name only in a side list is shown too.
  for (const auto *list : {&read_only, &write_only, &hidden}) {
    for (const std::string &name : *list) {
      if (!Contains(all, name)) all.push_back(name);
    }
  }
  entries->clear();
  for (const std::string &name : all) {
    ParamEntry entry;
    entry.name = name;
    entry.read_only = Contains(read_only, name);
    entry.write_only = Contains(write_only, name);
    entry.hidden = Contains(hidden, name);
    entries->push_back(std::move(entry));
  }
  return true;
}

void DescribeParams(tarvel::Instance &instance, std::vector<ParamEntry> *entries) {
  for (ParamEntry &entry : *entries) {
    // Family names ("out:xx") stand for many parameters and have no help of their own;
    // asking would read a register of that name instead. Names the plug-in has no
    // answer for are refused by it, and are simply left without.
    if (entry.name.find(':') != std::string::npos) continue;
    std::vector<tarvel::Value> values;
    StartOperation();
    if (Succeeded(instance.GetParam(entry.name + "_description", &values))) {
      for (const tarvel::Value &value : values) {
        if (value.type != tarvel::Value::Type::kString) continue;
        entry.description += (entry.description.empty() ? "" : " ") + value.s;
      }
    }
    values.clear();
    StartOperation();
    if (Succeeded(instance.GetParam(entry.name + "_values", &values))) {
      // Numbers in the value syntax (a decimal keeps its point), texts as they are.
      for (const ParamValue &value : FromHost(values)) {
        entry.values.push_back(
            value.type == ParamValue::Type::kString ? value.s : FormatParamValues({value}));
      }
    }
  }
}

bool HarmlessToRead(std::string_view name) {
  if (name.find(':') != std::string_view::npos || name.substr(0, 3) == "do_") return false;
  for (std::string_view acting :
       {"camera_connected", "comm_read_int", "comm_read_str", "serial_message",
        "wait_frame_exposure", "end_of_exposure", "last_lines_to_go"}) {
    if (name == acting) return false;
  }
  return true;
}

}  // namespace grabline::tool
