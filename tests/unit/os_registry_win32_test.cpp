// Registry values read from the system's registry under HKEY_LOCAL_MACHINE,
// written there by the test.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/os.hpp"
#include "support/test_os.hpp"

namespace grabline::os {
namespace {

using testing::ScopedRegistryValue;

constexpr const char *kKey = "SOFTWARE\\GrablineTests\\Registry";

// The text read into a buffer of `size` bytes primed with "untouched", or
// "(false) " and what the buffer holds after a refusal.
std::string Read(std::string_view key, std::string_view value, size_t size = 100) {
  char buffer[128] = "untouched";
  const bool ok = ReadRegistryString(key, value, buffer, size);
  return (ok ? "" : "(false) ") + std::string(buffer);
}

TEST(OsRegistry, StringValuesOfTheMachine) {
  ScopedRegistryValue dir("SYSTEM\\CurrentControlSet\\Services\\BitFlow", "BFConfigDir",
                          "C:\\BitFlow\\Config\\");
  EXPECT_EQ(Read("SYSTEM\\CurrentControlSet\\Services\\BitFlow", "BFConfigDir"),
            "C:\\BitFlow\\Config\\");
  ScopedRegistryValue value(kKey, "value", "abcd");
  EXPECT_EQ(Read(kKey, "value", 5), "abcd");
  value.Set("");
  EXPECT_EQ(Read(kKey, "value", 1), "");
}

TEST(OsRegistry, MissingOrTooLongValuesLeaveTheBufferAlone) {
  ScopedRegistryValue value(kKey, "value", "abcd");
  EXPECT_EQ(Read(kKey, "value", 4), "(false) untouched");
  EXPECT_EQ(Read(kKey, "missing"), "(false) untouched");
  EXPECT_EQ(Read("SOFTWARE\\GrablineTests\\NoSuchKey", "value"), "(false) untouched");
  EXPECT_EQ(Read(kKey, "value", 0), "(false) untouched");
  EXPECT_FALSE(ReadRegistryString(kKey, "value", nullptr, 100));
  EXPECT_EQ(Read(std::string(kKey) + std::string(1, '\0'), "value"), "(false) untouched");
}

}  // namespace
}  // namespace grabline::os
