// logs.hpp — what the SDK shows the user: debug output and error displays,
// kept for tests and echoed to stderr on request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bfsim::model {

// Reads GRABLINE_SIM_DEBUG once; Reset calls it again.
void ReadDebugSwitch();
void LogDebugOutput(std::string_view text);
void LogErrorShow(uint32_t board, std::string_view model);
std::vector<std::string> DebugOutputLog();
std::vector<uint32_t> ErrorShowLog();
void ClearModelLogs();

}  // namespace bfsim::model
