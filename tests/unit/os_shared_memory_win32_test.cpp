// A named section is the system's object: processes share it, and it lives
// as long as any of them holds a handle or a view.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/os.hpp"
#include "support/test_os.hpp"

namespace grabline::os {
namespace {

TEST(OsSharedMemory, AnotherProcessSharesTheSectionAndItsEndLeavesItToUs) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs the test again from its start: it finds the parent's
  // name in the environment it inherits, and its own open of that name must
  // find the section the parent made.
  constexpr const char *kParent = "GRABLINE_TEST_SECTION_PARENT";
  const bool child = std::getenv(kParent) != nullptr;
  if (!child) testing::SetEnv(kParent, std::to_string(testing::ProcessId()).c_str());
  const std::string name = "TarvelSharedOsTest" + std::string(std::getenv(kParent)) + "Two";
  bool created = false;
  SharedMemory *section = OpenSharedMemory(name, 468, &created);
  ASSERT_NE(section, nullptr);
  auto *view = static_cast<char *>(MapSharedMemory(section));
  ASSERT_NE(view, nullptr);
  view[0] = 'p';
  // The child reads the section, writes to it and lets go of everything.
  EXPECT_EXIT(
      {
        bool made = true;
        SharedMemory *other = OpenSharedMemory(name, 468, &made);
        auto *bytes = other != nullptr ? static_cast<char *>(MapSharedMemory(other)) : nullptr;
        const bool seen = bytes != nullptr && !made && bytes[0] == 'p';
        if (bytes != nullptr) bytes[467] = 'c';
        UnmapSharedMemory(other, bytes);
        CloseSharedMemory(other);
        std::exit(seen ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  testing::SetEnv(kParent, nullptr);
  EXPECT_TRUE(created);
  EXPECT_EQ(view[467], 'c');
  EXPECT_TRUE(testing::SectionExists(name));
  EXPECT_EQ(testing::SectionViews(name), 1);
  UnmapSharedMemory(section, view);
  CloseSharedMemory(section);
  EXPECT_FALSE(testing::SectionExists(name));
}

}  // namespace
}  // namespace grabline::os
