// test_os.hpp — what the tests ask of the operating system beyond the plug-in's
// own OS layer: environment, counts of the process's threads, handles and
// memory, library files and their exports, the machine's registry and named
// shared sections. One file per system (test_os_posix.cpp, test_os_win32.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace grabline::testing {

// Sets `name` to `value`, or removes it for a null value, for this process and
// the processes it starts.
void SetEnv(const char *name, const char *value);
int ProcessId();

// Threads of this process as the system counts them.
int ProcessThreads();
// Open file descriptors or handles of this process.
int OpenHandles();
// Resident memory of this process in KiB.
long ResidentKiB();

// The file a shared library or plug-in called `name` is built as
// ("lib<name>.so", "<name>.dll").
std::string LibraryFile(std::string_view name);
// The directory the plug-ins of this build are loaded from.
std::string PluginDirectory();
// Names of the functions the library at `path` exports; empty when it cannot
// be read.
std::vector<std::string> ExportedFunctions(const std::string &path);

// Whether the named section the plug-in's shared memory creates exists, how
// many views of it this process holds, and whether it holds `bytes` bytes.
bool SectionExists(const std::string &name);
int SectionViews(const std::string &name);
bool SectionHolds(const std::string &name, size_t bytes);

// A section of `bytes` bytes whose first byte is `first`, made under `name`
// by the system's own calls, as another program would, and held until the
// object ends.
class ForeignSection {
 public:
  ForeignSection(const std::string &name, size_t bytes, char first);
  ~ForeignSection();
  ForeignSection(const ForeignSection &) = delete;
  ForeignSection &operator=(const ForeignSection &) = delete;
  bool made() const { return made_; }

 private:
  void *handle_ = nullptr;
  bool made_ = false;
};

// The unit in which the system counts a section's size: sections are refused
// when smaller than asked for by at least this much.
size_t SectionGranule();

// One string value in the machine's registry for the life of the object:
// `key` below HKEY_LOCAL_MACHINE, components separated by '\\'. Without a
// value text only the key is made. The key and value are removed at the end.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(std::string key, std::string name, std::optional<std::string> text);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue &) = delete;
  ScopedRegistryValue &operator=(const ScopedRegistryValue &) = delete;
  // Replaces the value's text.
  void Set(const std::string &text);

 private:
  std::string key_;
  std::string name_;
  std::string root_;  // where the registry lives for this process, if not the system's
  std::optional<std::string> old_root_;
  bool created_key_ = false;
};

// The local time zone given as a POSIX TZ text ("UTC", "XYZ-2") for one
// scope. A process on Windows cannot change the zone, which is the system's:
// there `applied()` tells whether the system's zone is already that one.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char *tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone &) = delete;
  ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;
  bool applied() const { return applied_; }

 private:
  std::optional<std::string> old_;
  bool applied_ = false;
};

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const char *value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

 private:
  const char *name_;
  std::optional<std::string> old_;
};

}  // namespace grabline::testing
