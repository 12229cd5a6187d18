// param_catalogue.hpp — the parameters as the plug-in's information queries list them,
// with the description and value list it gives for each: what `param list` prints and
// what the live view's /params answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarvel_host.hpp"
#include "value_text.hpp"

namespace grabline::tool {

struct ParamEntry {
  std::string name;
  bool read_only = false, write_only = false, hidden = false;
  std::string description;                       // NAME_description, "" when the plug-in has none
  std::vector<std::string> values;               // NAME_values as texts
  std::optional<std::vector<ParamValue>> value;  // the current value, where it was read
};

// The names of the four list queries, in the plug-in's order (a name only in a side
// list comes last), with their marks. False with "FG_QUERY_…: CODE" when a query fails.
bool ListParams(tarvel::Plugin &plugin, std::vector<ParamEntry> *entries, std::string *error);

// Descriptions and value lists are answers of the get operation, so they need an instance.
void DescribeParams(tarvel::Instance &instance, std::vector<ParamEntry> *entries);

// Whether reading `name` leaves the board and the camera as they were: not a serial
// read, a wait for an exposure, a counter that resets when read, or a family name
// that stands for many parameters.
bool HarmlessToRead(std::string_view name);

}  // namespace grabline::tool
