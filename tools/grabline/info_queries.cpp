#include "info_queries.hpp"

namespace grabline::tool {

std::string WrapItems(const std::vector<std::string> &items, size_t indent, size_t width) {
  std::string out;
  std::string line;
  for (size_t k = 0; k < items.size(); ++k) {
    const std::string item = items[k] + (k + 1 < items.size() ? "," : "");
    if (!line.empty() && indent + line.size() + 1 + item.size() > width) {
      out += std::string(indent, ' ') + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + item;
  }
  if (!line.empty()) out += std::string(indent, ' ') + line + "\n";
  return out;
}

}  // namespace grabline::tool
