// The tests' OS layer on Linux: /proc, the dynamic symbol table, /dev/shm, and
// the registry as a directory tree under $GRABLINE_REGISTRY.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "support/test_os.hpp"

namespace grabline::testing {
namespace {

namespace fs = std::filesystem;

long StatusField(const char *key) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == key) {
      long value = 0;
      status >> value;
      return value;
    }
  }
  return -1;
}

// The plug-in's layer keeps section N as the POSIX object "/N", which Linux
// shows as /dev/shm/N.
std::string SectionObject(const std::string &name) { return "/" + name; }
fs::path SectionPath(const std::string &name) { return fs::path("/dev/shm") / name; }

// Each key a directory below the registry's root.
fs::path KeyDirectory(const std::string &root, const std::string &key) {
  fs::path dir = root;
  for (size_t start = 0; start <= key.size();) {
    const size_t end = std::min(key.find('\\', start), key.size());
    dir /= key.substr(start, end - start);
    start = end + 1;
  }
  return dir;
}

}  // namespace

void SetEnv(const char *name, const char *value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

int ProcessId() { return static_cast<int>(getpid()); }

int ProcessThreads() { return static_cast<int>(StatusField("Threads:")); }

int OpenHandles() {
  int count = 0;
  if (DIR *dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

long ResidentKiB() { return StatusField("VmRSS:"); }

std::string LibraryFile(std::string_view name) { return "lib" + std::string(name) + ".so"; }

std::string PluginDirectory() {
  const char *dir = std::getenv("TARVEL_PLUGIN_PATH");
  return dir != nullptr ? dir : ".";
}

std::vector<std::string> ExportedFunctions(const std::string &path) {
  std::vector<std::string> functions;
  FILE *pipe = popen(("nm -D --defined-only '" + path + "'").c_str(), "r");
  if (pipe == nullptr) return functions;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[400] = {};
    if (std::sscanf(line, "%*s %c %399s", &type, name) == 2 &&
        (type == 'T' || type == 'W' || type == 'i')) {
      functions.emplace_back(name);
    }
  }
  pclose(pipe);
  return functions;
}

bool SectionExists(const std::string &name) {
  const int fd = shm_open(SectionObject(name).c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

int SectionViews(const std::string &name) {
  std::ifstream maps("/proc/self/maps");
  const std::string path = SectionPath(name).string();
  int count = 0;
  for (std::string line; std::getline(maps, line);) {
    if (line.size() >= path.size() &&
        line.compare(line.size() - path.size(), path.size(), path) == 0) {
      ++count;
    }
  }
  return count;
}

size_t SectionGranule() { return 1; }

bool SectionHolds(const std::string &name, size_t bytes) {
  std::error_code error;
  return fs::file_size(SectionPath(name), error) == bytes && !error;
}

// The object is made and left; the name goes when the plug-in's layer
// unlinks it or when the object ends, whichever comes first.
ForeignSection::ForeignSection(const std::string &name, size_t bytes, char first) {
  const int fd = shm_open(SectionObject(name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return;
  made_ = ftruncate(fd, static_cast<off_t>(bytes)) == 0 && pwrite(fd, &first, 1, 0) == 1;
  close(fd);
  handle_ = new std::string(SectionObject(name));
}

ForeignSection::~ForeignSection() {
  auto *object = static_cast<std::string *>(handle_);
  if (object != nullptr) shm_unlink(object->c_str());
  delete object;
}

ScopedTimeZone::ScopedTimeZone(const char *tz) {
  if (const char *old = std::getenv("TZ")) old_ = old;
  setenv("TZ", tz, 1);
  tzset();
  applied_ = true;
}

ScopedTimeZone::~ScopedTimeZone() {
  SetEnv("TZ", old_ ? old_->c_str() : nullptr);
  tzset();
}

ScopedRegistryValue::ScopedRegistryValue(std::string key, std::string name,
                                         std::optional<std::string> text)
    : key_(std::move(key)), name_(std::move(name)) {
  if (const char *old = std::getenv("GRABLINE_REGISTRY")) old_root_ = old;
  root_ =
      (fs::temp_directory_path() / ("grabline_registry_" + std::to_string(getpid()) + "_" + name_))
          .string();
  fs::create_directories(KeyDirectory(root_, key_));
  setenv("GRABLINE_REGISTRY", root_.c_str(), 1);
  if (text) Set(*text);
}

void ScopedRegistryValue::Set(const std::string &text) {
  std::ofstream(KeyDirectory(root_, key_) / name_, std::ios::binary) << text << '\n';
}

ScopedRegistryValue::~ScopedRegistryValue() {
  SetEnv("GRABLINE_REGISTRY", old_root_ ? old_root_->c_str() : nullptr);
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

}  // namespace grabline::testing
