// error_report.hpp — how the plug-in reports: texts printed through the host
// only while its low-level error switch is on, SDK results checked in one
// place, and diagnostics sent to the debug output.
#pragma once

#include <cstdint>

#include "bfsdk.h"

namespace grabline {

struct InstanceRecord;

// Prints `text` with IOPrintErrorMessage while TDoLowError is non-zero.
void PrintError(const char *text);
// Formats into a 1024-byte buffer (longer texts are cut) and prints as above.
void PrintErrorf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The SDK result check: 0 stays 0. A failure before the board is open
// (board null) is printed with its text; on an open board it is handed to the
// SDK's error display while the instance's show_error_dlg is set. Returns e.
uint32_t SdkCheck(Bd board, const InstanceRecord *record, uint32_t e);

// Diagnostics: always sent, or only while the instance's debug_output is on.
void DebugText(const char *text);
void DebugTextf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void DebugOutput(const InstanceRecord &record, const char *text);

}  // namespace grabline
