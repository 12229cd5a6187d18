// host_library.hpp — loading a plug-in library and finding its entry point: the
// system's loader behind three calls, one file per system
// (host_library_posix.cpp, host_library_win32.cpp).
#pragma once

#include <string>
#include <string_view>

namespace tarvel::internal {

// The file a plug-in of this name lives in: "lib<name>.so" or "<name>.dll".
std::string PluginFileName(std::string_view name);
// The directory the host library was loaded from; empty when unknown.
std::string HostDirectory();
// Null with the system's reason in `why` when the library cannot be loaded.
void *OpenLibrary(const std::string &path, std::string *why);
void *LibrarySymbol(void *library, const char *name);
void CloseLibrary(void *library);

}  // namespace tarvel::internal
