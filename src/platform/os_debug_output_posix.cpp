#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/debug_output.hpp"

namespace grabline::os {

void OutputDebugString(const char *text) {
  if (text == nullptr) return;
  const char *target = std::getenv("GRABLINE_DEBUG_OUTPUT");
  if (target == nullptr || *target == '\0') return;
  const size_t length = std::strlen(text);
  if (std::strcmp(target, "-") == 0) {
    (void)!write(STDERR_FILENO, text, length);
    return;
  }
  // One append per text, so texts of concurrent threads never interleave.
  const int fd = open(target, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  (void)!write(fd, text, length);
  close(fd);
}

}  // namespace grabline::os
