#include "text_table.hpp"

#include <algorithm>

namespace grabline::tool {

std::string FormatTable(const std::vector<std::vector<std::string>> &rows, size_t indent) {
  std::vector<size_t> widths;
  for (const auto &row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string out;
  for (const auto &row : rows) {
    std::string line(indent, ' ');
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line.append(widths[c] - row[c].size() + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

}  // namespace grabline::tool
