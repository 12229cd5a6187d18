// code_names.hpp — result codes as the tool prints them: "FG_ERR_BOARD_OPEN (5302)".
#pragma once

#include <cstdint>
#include <string>

namespace grabline::tool {

// Codes the tool acts on (not only prints).
inline constexpr int32_t kCodeUnsupported = 5321;
inline constexpr int32_t kCodeTimeout = 5322;
inline constexpr int32_t kCodeSerialNotCl = 5252;

// The name of a plug-in or host code and the number; codes without a name print as
// "code N". Success differs between the host builds, so the caller passes it.
std::string CodeText(int32_t code, int32_t ok_code);
// The name alone ("FG_ERR_BOARD_OPEN"), "" for a code without one.
std::string CodeName(int32_t code, int32_t ok_code);

}  // namespace grabline::tool
