// os_system_posix.cpp — the clock in local calendar fields, the cache size, and
// registry values read from a directory tree.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/os.hpp"

namespace grabline::os {

// ---- time ----------------------------------------------------------------------------

int64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The zone is the one localtime_r knows, read once per process (TZ, else
// /etc/localtime); a caller that changes TZ calls tzset() itself. All fields
// are zero for an instant the calendar cannot express in them.
LocalTime LocalTimeAt(int64_t unix_ms) {
  // Floor division, so that instants before 1970 keep milliseconds 0..999.
  int64_t seconds = unix_ms / 1000;
  int64_t millisecond = unix_ms % 1000;
  if (millisecond < 0) {
    millisecond += 1000;
    seconds -= 1;
  }
  LocalTime local{};
  const time_t instant = static_cast<time_t>(seconds);
  tm calendar{};
  if (localtime_r(&instant, &calendar) == nullptr) return local;
  const int64_t year = static_cast<int64_t>(calendar.tm_year) + 1900;
  if (year < 0 || year > UINT16_MAX) return local;
  local.year = static_cast<uint16_t>(year);
  local.month = static_cast<uint8_t>(calendar.tm_mon + 1);
  local.day = static_cast<uint8_t>(calendar.tm_mday);
  local.day_of_year = static_cast<uint16_t>(calendar.tm_yday + 1);
  local.hour = static_cast<uint8_t>(calendar.tm_hour);
  local.minute = static_cast<uint8_t>(calendar.tm_min);
  local.second = static_cast<uint8_t>(calendar.tm_sec);
  local.millisecond = static_cast<uint16_t>(millisecond);
  return local;
}

LocalTime GetLocalTime() { return LocalTimeAt(NowMs()); }

// ---- processor ----------------------------------------------------------------------

uint64_t LastLevelCacheBytes() {
  const long bytes = sysconf(_SC_LEVEL3_CACHE_SIZE);
  return bytes > 0 ? static_cast<uint64_t>(bytes) : 0;
}

// ---- registry ------------------------------------------------------------------------

namespace {

// One path component taken from a key or value name: it must name an entry
// inside its parent, never the parent itself, the one above, or a deeper one.
bool IsPlainComponent(std::string_view component) {
  return !component.empty() && component != "." && component != ".." &&
         component.find('/') == std::string_view::npos &&
         component.find('\0') == std::string_view::npos;
}

// Appends the directories of `key` to `path`; false for an unusable key. The
// empty key is the root itself, like an empty sub-key name on the old
// platform.
bool AppendKey(std::string_view key, std::string &path) {
  if (key.empty()) return true;
  for (;;) {
    const size_t end = key.find('\\');
    const std::string_view component = key.substr(0, end);
    if (!IsPlainComponent(component)) return false;
    path += '/';
    path += component;
    if (end == std::string_view::npos) return true;
    key.remove_prefix(end + 1);
  }
}

// Reads all of `fd`, which fstat reported as `expected` bytes, into `content`;
// false if it cannot be read or has grown meanwhile.
bool ReadAll(int fd, size_t expected, std::string &content) {
  content.assign(expected + 1, '\0');
  size_t filled = 0;
  while (filled < content.size()) {
    const ssize_t got = read(fd, content.data() + filled, content.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  if (filled > expected) return false;
  content.resize(filled);
  return true;
}

}  // namespace

// Names are matched exactly: the directory tree is case-sensitive, unlike the
// old platform's registry, so the tree must spell keys as the plug-in does.
bool ReadRegistryString(std::string_view key, std::string_view value, char *out, size_t size) {
  if (out == nullptr || size == 0) return false;
  const char *root = std::getenv("GRABLINE_REGISTRY");
  if (root == nullptr || root[0] == '\0') return false;
  const size_t root_length = std::strlen(root);
  // Checked before building anything, so that no name can make the path
  // grow without limit; the sum stays far from overflowing.
  if (root_length >= PATH_MAX || key.size() >= PATH_MAX || value.size() >= PATH_MAX ||
      root_length + key.size() + value.size() + 2 >= PATH_MAX) {
    return false;
  }
  std::string path(root, root_length);
  if (!AppendKey(key, path) || !IsPlainComponent(value)) return false;
  path += '/';
  path += value;

  // Non-blocking, so that a FIFO planted in the tree cannot hang the caller;
  // only regular files are values.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat status;
  std::string content;
  // A value fits when its text, without a final "\n" or "\r\n", leaves room for
  // the NUL: at most size - 1 characters plus two for the line end.
  const bool read_ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                       (status.st_size <= 1 || static_cast<uint64_t>(status.st_size) - 1 <= size) &&
                       ReadAll(fd, static_cast<size_t>(status.st_size), content);
  close(fd);
  if (!read_ok) return false;

  if (!content.empty() && content.back() == '\n') {
    content.pop_back();
    if (!content.empty() && content.back() == '\r') content.pop_back();
  }
  if (content.size() > size - 1) return false;
  std::memcpy(out, content.data(), content.size());
  out[content.size()] = '\0';
  return true;
}

}  // namespace grabline::os
