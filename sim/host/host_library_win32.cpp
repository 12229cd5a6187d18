// Plug-ins as DLLs, through the system's loader.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "host_library.hpp"
#include "tarvel_host.hpp"

namespace tarvel::internal {

std::string PluginFileName(std::string_view name) { return std::string(name) + ".dll"; }

std::string HostDirectory() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&TXAlloc), &self)) {
    return {};
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(self, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  std::string text(path, length);
  const size_t separator = text.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : text.substr(0, separator);
}

void *OpenLibrary(const std::string &path, std::string *why) {
  // No dialog box for a DLL that cannot be loaded: the caller reports it.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE library = LoadLibraryA(path.c_str());
  const DWORD error = GetLastError();
  SetErrorMode(previous);
  if (library == nullptr) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
      message.pop_back();
    }
    *why = "error " + std::to_string(error) + (message.empty() ? "" : " (" + message + ")");
  }
  return library;
}

void *LibrarySymbol(void *library, const char *name) {
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace tarvel::internal
