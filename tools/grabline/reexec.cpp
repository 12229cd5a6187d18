#include "reexec.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.hpp"
#include "value_text.hpp"

namespace grabline::tool {
namespace {

// Set in the environment of a re-executed tool, so that two binaries that disagree
// on who runs an interface cannot hand the call back and forth for ever.
constexpr const char *kReexecMark = "GRABLINE_TOOL_REEXEC";

// The directory of this executable, from /proc, or "" if it cannot be read in full.
std::string OwnDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
  if (length <= 0 || size_t(length) >= sizeof(path)) return "";
  const std::string self(path, size_t(length));
  const size_t slash = self.rfind('/');
  return slash == std::string::npos ? "" : self.substr(0, slash);
}

}  // namespace

int RunOtherBuild(const InterfaceInfo &interface, char **argv) {
  const std::string plugin(interface.plugin);
  if (std::getenv(kReexecMark) != nullptr) {
    std::fprintf(stderr, "grabline: interface %s was handed on already; not again\n",
                 plugin.c_str());
    return kExitFailed;
  }
  const std::string directory = OwnDirectory();
  if (directory.empty()) {
    std::fprintf(stderr, "grabline: cannot find this program's directory to run %s for %s\n",
                 std::string(interface.binary).c_str(), plugin.c_str());
    return kExitFailed;
  }
  const std::string binary = directory + "/" + std::string(interface.binary);
  setenv(kReexecMark, plugin.c_str(), 1);
  std::fflush(nullptr);
  execv(binary.c_str(), argv);
  std::fprintf(stderr, "grabline: interface %s runs in %s, which cannot be started: %s\n",
               plugin.c_str(), Printable(binary).c_str(), std::strerror(errno));
  return kExitFailed;
}

}  // namespace grabline::tool
