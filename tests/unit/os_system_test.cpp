#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/os.hpp"

namespace grabline::os {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const char *value) : name_(name) {
    if (const char *old = getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char *name_;
  std::optional<std::string> old_;
};

// ---- local time ----------------------------------------------------------------------

std::string Calendar(const LocalTime &t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d day %d %02d:%02d:%02d.%03d", t.year, t.month,
                t.day, t.day_of_year, t.hour, t.minute, t.second, t.millisecond);
  return text;
}

class OsTime : public ::testing::Test {
 protected:
  void Zone(const char *tz) {
    zone_.emplace("TZ", tz);
    tzset();
  }
  void TearDown() override {
    zone_.reset();
    tzset();
  }

 private:
  std::optional<ScopedEnv> zone_;
};

TEST_F(OsTime, CalendarFieldsOfFixedInstants) {
  Zone("UTC");
  EXPECT_EQ(Calendar(LocalTimeAt(1735689599123)), "2024-12-31 day 366 23:59:59.123");
  EXPECT_EQ(Calendar(LocalTimeAt(1735689600000)), "2025-01-01 day 1 00:00:00.000");
  EXPECT_EQ(Calendar(LocalTimeAt(1709208000000)), "2024-02-29 day 60 12:00:00.000");
  EXPECT_EQ(Calendar(LocalTimeAt(1704067199999)), "2023-12-31 day 365 23:59:59.999");
  // Before the epoch the milliseconds still count up within their second.
  EXPECT_EQ(Calendar(LocalTimeAt(-1)), "1969-12-31 day 365 23:59:59.999");
  Zone("XYZ-2");  // two hours east of UTC, no daylight saving
  EXPECT_EQ(Calendar(LocalTimeAt(1735689599123)), "2025-01-01 day 1 01:59:59.123");
}

// ---- registry ------------------------------------------------------------------------

class OsRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::path(::testing::TempDir()) / "os_registry_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    base_ = pattern;
    env_.emplace("GRABLINE_REGISTRY", (base_ / "root").c_str());
    Put("SYSTEM/CurrentControlSet/Services/BitFlow/BFConfigDir", "C:\\BitFlow\\Config\\\n");
    Put("crlf", "dos\r\n");
    Put("twice", "two\n\n");
    Put("empty", "");
    Put("key/value", "abcd");
    Put("key/sub/value", "deeper");
    Put("../secret", "outside");
    fs::create_directories(base_ / "root/key/directory");
  }
  void TearDown() override {
    env_.reset();
    fs::remove_all(base_);
  }

  void Put(const fs::path &relative, const std::string &content) {
    const fs::path path = base_ / "root" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  // The text read into a buffer of `size` bytes primed with "untouched", or
  // "(false) " and what the buffer holds after a refusal.
  static std::string Read(std::string_view key, std::string_view value, size_t size = 100) {
    char buffer[128] = "untouched";
    const bool ok = ReadRegistryString(key, value, buffer, size);
    return (ok ? "" : "(false) ") + std::string(buffer);
  }

  fs::path base_;
  std::optional<ScopedEnv> env_;
};

TEST_F(OsRegistry, ValueIsTheFileWithoutItsLineEnd) {
  EXPECT_EQ(Read("SYSTEM\\CurrentControlSet\\Services\\BitFlow", "BFConfigDir"),
            "C:\\BitFlow\\Config\\");
  EXPECT_EQ(Read("", "crlf"), "dos");
  EXPECT_EQ(Read("", "twice"), "two\n");
  EXPECT_EQ(Read("", "empty", 1), "");
  EXPECT_EQ(Read("key\\sub", "value"), "deeper");
}

TEST_F(OsRegistry, MissingOrTooLongValuesLeaveTheBufferAlone) {
  EXPECT_EQ(Read("key", "value", 5), "abcd");
  EXPECT_EQ(Read("key", "value", 4), "(false) untouched");
  EXPECT_EQ(Read("key", "missing"), "(false) untouched");
  EXPECT_EQ(Read("nokey", "value"), "(false) untouched");
  EXPECT_EQ(Read("key", "directory"), "(false) untouched");
  EXPECT_EQ(Read("key", "value", 0), "(false) untouched");
  EXPECT_FALSE(ReadRegistryString("key", "value", nullptr, 100));
  env_.reset();
  unsetenv("GRABLINE_REGISTRY");
  EXPECT_EQ(Read("key", "value"), "(false) untouched");
}

TEST_F(OsRegistry, NamesCannotLeaveTheRoot) {
  for (const char *key :
       {"..", "key\\..\\..", "key\\.", "key/sub", "\\key", "key\\", "key\\\\sub"}) {
    EXPECT_EQ(Read(key, "value"), "(false) untouched") << key;
    EXPECT_EQ(Read(key, "secret"), "(false) untouched") << key;
  }
  for (const char *value : {"../secret", "..", ".", "", "sub/value"}) {
    EXPECT_EQ(Read("key", value), "(false) untouched") << value;
  }
  EXPECT_EQ(Read(std::string(PATH_MAX, 'k'), "value"), "(false) untouched");
}

}  // namespace
}  // namespace grabline::os
