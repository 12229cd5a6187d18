// debug_output.hpp — the operating system's debug output, where the older
// SDK versions' builds send their diagnostic texts.
#pragma once

namespace grabline::os {

// Appends `text` to the file named by GRABLINE_DEBUG_OUTPUT ("-" for
// stderr); without that variable the text goes nowhere, as on a system
// without a debugger attached.
void OutputDebugString(const char *text);

}  // namespace grabline::os
