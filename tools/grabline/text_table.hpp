// text_table.hpp — rows of words in aligned columns, for listings.
#pragma once

#include <string>
#include <vector>

namespace grabline::tool {

// Each row on a line of its own after `indent` blanks, every column as wide as its
// widest cell plus two blanks; no trailing blanks.
std::string FormatTable(const std::vector<std::vector<std::string>> &rows, size_t indent);

}  // namespace grabline::tool
