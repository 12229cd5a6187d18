// The tests' OS layer on Windows: the tool-help snapshot, the process's handle
// count and working set, the export directory of a DLL, named file mappings
// and the registry under HKEY_LOCAL_MACHINE.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// After windows.h, whose types they use.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdlib>

#include "support/test_os.hpp"

namespace grabline::testing {
namespace {

// A view of the section, or null when it does not exist.
void *MapSection(const std::string &name, size_t bytes) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  if (mapping == nullptr) return nullptr;
  void *view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, bytes);
  CloseHandle(mapping);  // the view keeps the section
  return view;
}

}  // namespace

void SetEnv(const char *name, const char *value) {
  // The runtime's copy, which getenv reads, and the system's, which child
  // processes inherit; an empty value removes the name.
  _putenv_s(name, value != nullptr ? value : "");
}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

int ProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  const DWORD self = GetCurrentProcessId();
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

int OpenHandles() {
  DWORD count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}

long ResidentKiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}

std::string LibraryFile(std::string_view name) { return std::string(name) + ".dll"; }

std::string PluginDirectory() {
  if (const char *dir = std::getenv("TARVEL_PLUGIN_PATH"); dir != nullptr && dir[0] != '\0') {
    return dir;
  }
  // Beside the executable, where the build puts the DLLs.
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string text(path, length < sizeof path ? length : 0);
  const size_t separator = text.find_last_of("\\/");
  return separator == std::string::npos ? "." : text.substr(0, separator);
}

std::vector<std::string> ExportedFunctions(const std::string &path) {
  std::vector<std::string> functions;
  // Mapped as an image, nothing run and nothing else loaded.
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (module == nullptr) return functions;
  const auto *base = reinterpret_cast<const unsigned char *>(module);
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (entry.VirtualAddress != 0 && entry.Size != 0) {
    const auto *exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + entry.VirtualAddress);
    const auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
      functions.emplace_back(reinterpret_cast<const char *>(base + names[i]));
    }
  }
  FreeLibrary(module);
  return functions;
}

bool SectionExists(const std::string &name) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  if (mapping == nullptr) return false;
  CloseHandle(mapping);
  return true;
}

// A view belongs to the section when a byte written through a fresh view of
// the section shows in it.
int SectionViews(const std::string &name) {
  auto *probe = static_cast<volatile unsigned char *>(MapSection(name, 1));
  if (probe == nullptr) return 0;
  const unsigned char saved = probe[0];
  int count = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (auto *at = static_cast<unsigned char *>(nullptr);
       VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<unsigned char *>(region.BaseAddress) + region.RegionSize) {
    if (region.Type != MEM_MAPPED || region.State != MEM_COMMIT ||
        region.BaseAddress == const_cast<unsigned char *>(probe) ||
        (region.Protect & (PAGE_READONLY | PAGE_READWRITE)) == 0) {
      continue;
    }
    const auto *view = static_cast<volatile const unsigned char *>(region.BaseAddress);
    if (view[0] != saved) continue;
    probe[0] = static_cast<unsigned char>(saved ^ 0xFF);
    if (view[0] == static_cast<unsigned char>(saved ^ 0xFF)) ++count;
    probe[0] = saved;
  }
  UnmapViewOfFile(const_cast<unsigned char *>(probe));
  return count;
}

size_t SectionGranule() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  return system.dwPageSize;
}

bool SectionHolds(const std::string &name, size_t bytes) {
  void *view = MapSection(name, bytes);
  if (view == nullptr) return false;
  UnmapViewOfFile(view);
  return true;
}

// Only the zone without daylight saving and with a whole number of hours
// west of UTC that the text names ("UTC" for none) can be recognised.
ForeignSection::ForeignSection(const std::string &name, size_t bytes, char first) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(bytes), name.c_str());
  if (mapping == nullptr) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mapping);
    return;
  }
  handle_ = mapping;
  if (void *view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, bytes)) {
    *static_cast<char *>(view) = first;
    UnmapViewOfFile(view);
    made_ = true;
  }
}

ForeignSection::~ForeignSection() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

ScopedTimeZone::ScopedTimeZone(const char *tz) {
  const std::string text = tz;
  long west_minutes = 0;
  if (text != "UTC") {
    if (text.size() < 4) return;
    char *end = nullptr;
    west_minutes = std::strtol(text.c_str() + 3, &end, 10) * 60;
    if (*end != '\0') return;
  }
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  applied_ =
      kind != TIME_ZONE_ID_INVALID && zone.DaylightDate.wMonth == 0 && zone.Bias == west_minutes;
}

ScopedTimeZone::~ScopedTimeZone() = default;

ScopedRegistryValue::ScopedRegistryValue(std::string key, std::string name,
                                         std::optional<std::string> text)
    : key_(std::move(key)), name_(std::move(name)) {
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &handle, &disposition) == ERROR_SUCCESS) {
    created_key_ = disposition == REG_CREATED_NEW_KEY;
    RegCloseKey(handle);
  }
  if (text) Set(*text);
}

void ScopedRegistryValue::Set(const std::string &text) {
  RegSetKeyValueA(HKEY_LOCAL_MACHINE, key_.c_str(), name_.c_str(), REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

ScopedRegistryValue::~ScopedRegistryValue() {
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key_.c_str(), name_.c_str());
  if (created_key_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
}

}  // namespace grabline::testing
