// info_queries.hpp — the kinds of the plug-in's information queries, by name, and
// their answers laid out for reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace grabline::tool {

struct QueryKind {
  int32_t kind;
  std::string_view name;
};

// Every kind the plug-in answers, in the order `info` prints them.
inline constexpr QueryKind kQueryKinds[] = {
    {2, "FG_QUERY_INFO"},
    {6, "FG_QUERY_REVISION"},
    {5, "FG_QUERY_INFO_BOARDS"},
    {3, "FG_QUERY_DEFAULTS"},
    {12, "FG_QUERY_DEVICE"},
    {1, "FG_QUERY_CAMERA_TYPE"},
    {0, "FG_QUERY_PORT"},
    {8, "FG_QUERY_FIELD"},
    {9, "FG_QUERY_BITS_PER_CHANNEL"},
    {10, "FG_QUERY_COLOR_SPACE"},
    {11, "FG_QUERY_EXT_TRIGGER"},
    {19, "FG_QUERY_HORIZONTAL_RESOLUTION"},
    {20, "FG_QUERY_VERTICAL_RESOLUTION"},
    {4, "FG_QUERY_PARAMETERS"},
    {13, "FG_QUERY_PARAMETERS_RO"},
    {14, "FG_QUERY_PARAMETERS_WO"},
    {22, "FG_QUERY_PARAMETERS_HIDDEN"},
};

inline constexpr int32_t kQueryParameters = 4;
inline constexpr int32_t kQueryParametersRo = 13;
inline constexpr int32_t kQueryParametersWo = 14;
inline constexpr int32_t kQueryParametersHidden = 22;

// `items` joined by ", " and broken into lines of at most `width` characters (a
// longer item gets a line of its own), each line after `indent` blanks.
std::string WrapItems(const std::vector<std::string> &items, size_t indent, size_t width);

}  // namespace grabline::tool
