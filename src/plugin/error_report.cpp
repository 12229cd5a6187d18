#include "plugin/error_report.hpp"

#include <cstdarg>
#include <cstdio>

#include "board/records.hpp"
#include "platform/build_profile.hpp"
#include "platform/debug_output.hpp"
#include "tarvel.h"

namespace grabline {
namespace {

constexpr size_t kMessageBuffer = 1024;

}  // namespace

void PrintError(const char *text) {
  if (TDoLowError != 0) IOPrintErrorMessage(text);
}

void PrintErrorf(const char *format, ...) {
  if (TDoLowError == 0) return;
  // Each call formats into its own buffer: texts come from several threads.
  char text[kMessageBuffer];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  IOPrintErrorMessage(text);
}

uint32_t SdkCheck(Bd board, const InstanceRecord *record, uint32_t e) {
  if (e == 0) return 0;
  if (board == nullptr) {
    if (e == BF_ERR_BRD_HELD || e == BF_ERR_BRD_HELD_CAM) {
      PrintError("Board already opened by another process");
    } else if (e == BF_ERR_NO_BOARD) {
      PrintError("The board number does not exist");
    } else {
      PrintErrorf("UNKNOWN (code %u)", e);
    }
    return e;
  }
  if (record != nullptr && record->show_error_dlg.load(std::memory_order_relaxed) != 0) {
    BFErrorShow(board);
  }
  return e;
}

void DebugText(const char *text) {
  if constexpr (kProfile.sdk_debug_output) {
    BFOutputDebugString(text);
  } else {
    os::OutputDebugString(text);
  }
}

void DebugTextf(const char *format, ...) {
  char text[kMessageBuffer];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  DebugText(text);
}

void DebugOutput(const InstanceRecord &record, const char *text) {
  if (record.debug_output.load(std::memory_order_relaxed) != 0) DebugText(text);
}

}  // namespace grabline
