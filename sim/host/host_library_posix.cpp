// Plug-ins as shared objects, through the dynamic loader.
#include <dlfcn.h>

#include "host_library.hpp"
#include "tarvel_host.hpp"

namespace tarvel::internal {

std::string PluginFileName(std::string_view name) { return "lib" + std::string(name) + ".so"; }

std::string HostDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void *>(&TXAlloc), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::string self = info.dli_fname;
  const size_t slash = self.rfind('/');
  return slash == std::string::npos ? std::string() : self.substr(0, slash);
}

void *OpenLibrary(const std::string &path, std::string *why) {
  void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char *text = dlerror();
    *why = text != nullptr ? text : "unknown";
  }
  return library;
}

void *LibrarySymbol(void *library, const char *name) { return dlsym(library, name); }

void CloseLibrary(void *library) { dlclose(library); }

}  // namespace tarvel::internal
