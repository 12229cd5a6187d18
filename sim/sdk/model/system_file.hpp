// system_file.hpp — the text that lists the installed boards (format in
// cameras/README.md, section "System file").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/board.hpp"

namespace bfsim::model {

inline constexpr size_t kMaxSystemFileBytes = 64 * 1024;
inline constexpr size_t kMaxSystemLine = 512;
inline constexpr size_t kMaxBoards = 16;

struct SystemFile {
  std::vector<BoardConfig> boards;
  std::string error;  // "line N: ..." when the text was refused; boards then empty
};

SystemFile ParseSystemFile(std::string_view text);

// One R64 Camera Link board with two ports and the built-in camera.
std::vector<BoardConfig> DefaultSystem();

}  // namespace bfsim::model
