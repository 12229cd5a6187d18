// The registry of a system without one: a directory tree under
// $GRABLINE_REGISTRY, one directory per key and one file per value.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/os.hpp"
#include "support/test_os.hpp"

namespace grabline::os {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;

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
  testing::SetEnv("GRABLINE_REGISTRY", nullptr);
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
