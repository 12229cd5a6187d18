// os_system_win32.cpp — the clock in local calendar fields, the cache size,
// and string values of the system's registry.
#include <cstring>
#include <string>
#include <vector>

#include "platform/os.hpp"
#include "platform/win32.hpp"

namespace grabline::os {

namespace {

// 100 ns ticks from 1601-01-01 (the system's epoch) to 1970-01-01.
constexpr int64_t kEpochDifferenceMs = 11644473600000LL;

LocalTime FromSystemTime(const SYSTEMTIME &t) {
  LocalTime local{};
  local.year = t.wYear;
  local.month = static_cast<uint8_t>(t.wMonth);
  local.day = static_cast<uint8_t>(t.wDay);
  local.hour = static_cast<uint8_t>(t.wHour);
  local.minute = static_cast<uint8_t>(t.wMinute);
  local.second = static_cast<uint8_t>(t.wSecond);
  local.millisecond = t.wMilliseconds;
  // Day of the year from the month and day: the system does not keep it.
  static constexpr uint16_t kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (t.wYear % 4 == 0 && t.wYear % 100 != 0) || t.wYear % 400 == 0;
  if (t.wMonth >= 1 && t.wMonth <= 12) {
    local.day_of_year =
        static_cast<uint16_t>(kBefore[t.wMonth - 1] + t.wDay + (leap && t.wMonth > 2 ? 1 : 0));
  }
  return local;
}

}  // namespace

// ---- time ----------------------------------------------------------------------------

int64_t NowMs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  return ticks / 10000 - kEpochDifferenceMs;
}

// In the zone the system is set to. All fields are zero for an instant the
// system's calendar cannot express (before 1601).
LocalTime LocalTimeAt(int64_t unix_ms) {
  const int64_t since_1601 = unix_ms + kEpochDifferenceMs;
  if (since_1601 < 0) return LocalTime{};
  const auto ticks = static_cast<uint64_t>(since_1601) * 10000;
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME universal, local;
  if (!FileTimeToSystemTime(&utc, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
    return LocalTime{};
  }
  return FromSystemTime(local);
}

LocalTime GetLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return FromSystemTime(now);
}

// ---- processor ----------------------------------------------------------------------

uint64_t LastLevelCacheBytes() {
  DWORD bytes = 0;
  GetLogicalProcessorInformation(nullptr, &bytes);
  if (bytes == 0) return 0;
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> info(bytes / sizeof(info[0]) + 1);
  bytes = static_cast<DWORD>(info.size() * sizeof(info[0]));
  if (!GetLogicalProcessorInformation(info.data(), &bytes)) return 0;
  uint64_t largest = 0;
  int level = 0;
  for (size_t i = 0; i < bytes / sizeof(info[0]); ++i) {
    if (info[i].Relationship != RelationCache) continue;
    const CACHE_DESCRIPTOR &cache = info[i].Cache;
    if (cache.Level > level || (cache.Level == level && cache.Size > largest)) {
      level = cache.Level;
      largest = cache.Size;
    }
  }
  return largest;
}

// ---- registry ------------------------------------------------------------------------

// Under HKEY_LOCAL_MACHINE; names are matched as the registry matches them,
// without regard to case. Only string values count.
bool ReadRegistryString(std::string_view key, std::string_view value, char *out, size_t size) {
  if (out == nullptr || size == 0) return false;
  if (key.find('\0') != std::string_view::npos || value.find('\0') != std::string_view::npos) {
    return false;
  }
  const std::string key_name(key), value_name(value);
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0, bytes = 0;
  bool ok = RegQueryValueExA(handle, value_name.c_str(), nullptr, &type, nullptr, &bytes) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
  // The stored text may or may not end in NULs; what counts is the text
  // before them, and it must leave room for one.
  std::string data;
  if (ok) {
    data.assign(bytes, '\0');
    ok = RegQueryValueExA(handle, value_name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE *>(data.data()), &bytes) == ERROR_SUCCESS &&
         bytes <= data.size();
  }
  RegCloseKey(handle);
  if (!ok) return false;
  data.resize(std::strlen(data.c_str()));
  if (data.size() > size - 1) return false;
  std::memcpy(out, data.data(), data.size());
  out[data.size()] = '\0';
  return true;
}

}  // namespace grabline::os
