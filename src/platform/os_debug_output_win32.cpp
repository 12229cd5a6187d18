// os_debug_output_win32.cpp — the system's debug output, where a debugger
// attached to the process (or a viewer of the system's debug stream) reads.
// GRABLINE_DEBUG_OUTPUT also copies each text to a file ("-": stderr), as on
// the other systems, for tests and for machines without such a viewer.
#include <cstdlib>
#include <cstring>

#include "platform/debug_output.hpp"
#include "platform/win32.hpp"

namespace grabline::os {

void OutputDebugString(const char *text) {
  if (text == nullptr) return;
  OutputDebugStringA(text);
  const char *target = std::getenv("GRABLINE_DEBUG_OUTPUT");
  if (target == nullptr || *target == '\0') return;
  const auto length = static_cast<DWORD>(std::strlen(text));
  DWORD written = 0;
  if (std::strcmp(target, "-") == 0) {
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, nullptr);
    return;
  }
  // Opened for appending only: one write per text, so texts of concurrent
  // threads never interleave.
  const HANDLE file = CreateFileA(target, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, text, length, &written, nullptr);
  CloseHandle(file);
}

}  // namespace grabline::os
