#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/os.hpp"
#include "support/test_os.hpp"

namespace grabline::os {
namespace {

constexpr size_t kShareSize = 468;

// Names unique to this process, so that flavours tested side by side never meet.
std::string UniqueName(const char *what) {
  return "TarvelSharedOsTest" + std::to_string(::grabline::testing::ProcessId()) + what;
}

using testing::SectionExists;

bool AllZero(const void *view, size_t size) {
  const auto *bytes = static_cast<const unsigned char *>(view);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(OsSharedMemory, TwoHandlesShareOneSectionUntilTheLastClose) {
  const std::string name = UniqueName("Pair");
  bool created = false;
  SharedMemory *first = OpenSharedMemory(name, kShareSize, &created);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(created);
  SharedMemory *second = OpenSharedMemory(name, kShareSize, &created);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(created);
  auto *a = static_cast<char *>(MapSharedMemory(first));
  auto *b = static_cast<char *>(MapSharedMemory(second));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(AllZero(a, kShareSize));
  a[0] = 'a';
  b[kShareSize - 1] = 'b';
  EXPECT_EQ(b[0], 'a');
  EXPECT_EQ(a[kShareSize - 1], 'b');
  UnmapSharedMemory(first, a);
  UnmapSharedMemory(second, b);
  CloseSharedMemory(first);
  EXPECT_TRUE(SectionExists(name));  // the second handle keeps it
  CloseSharedMemory(second);
  EXPECT_FALSE(SectionExists(name));

  first = OpenSharedMemory(name, kShareSize, &created);
  EXPECT_TRUE(created);
  a = static_cast<char *>(MapSharedMemory(first));
  EXPECT_TRUE(AllZero(a, kShareSize));
  UnmapSharedMemory(first, a);
  CloseSharedMemory(first);
}

// The lock parameter closes its handle but keeps the view; the section must
// live on for the view and for anyone who opens the name meanwhile.
TEST(OsSharedMemory, ViewKeepsTheSectionAfterItsHandleCloses) {
  const std::string name = UniqueName("View");
  bool created = false;
  SharedMemory *section = OpenSharedMemory(name, kShareSize, &created);
  auto *view = static_cast<char *>(MapSharedMemory(section));
  ASSERT_NE(view, nullptr);
  CloseSharedMemory(section);
  view[10] = 'v';

  SharedMemory *again = OpenSharedMemory(name, kShareSize, &created);
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(created);
  auto *other = static_cast<char *>(MapSharedMemory(again));
  EXPECT_EQ(other[10], 'v');
  UnmapSharedMemory(again, other);
  CloseSharedMemory(again);
  EXPECT_TRUE(SectionExists(name));
  UnmapSharedMemory(nullptr, view);
  EXPECT_FALSE(SectionExists(name));
}

// A section made elsewhere (another process) is opened, not replaced; one too
// small for the caller is refused rather than mapped short.
TEST(OsSharedMemory, OpensSectionsMadeElsewhereWhenBigEnough) {
  const std::string name = UniqueName("Foreign");
  {
    const testing::ForeignSection foreign(name, 100, 'x');
    ASSERT_TRUE(foreign.made());
    // The system's size of a section of 100 bytes.
    const size_t granule = testing::SectionGranule();
    const size_t held = (100 + granule - 1) / granule * granule;
    bool created = true;
    EXPECT_EQ(OpenSharedMemory(name, held + kShareSize, &created), nullptr);
    SharedMemory *section = OpenSharedMemory(name, 100, &created);
    ASSERT_NE(section, nullptr);
    EXPECT_FALSE(created);
    auto *view = static_cast<char *>(MapSharedMemory(section));
    EXPECT_EQ(view[0], 'x');
    EXPECT_EQ(OpenSharedMemory(name, held + 1, &created), nullptr);  // also when open here
    UnmapSharedMemory(section, view);
    CloseSharedMemory(section);
  }
  EXPECT_FALSE(SectionExists(name));
}

TEST(OsSharedMemory, InvalidNamesAndSizesAreRefused) {
  bool created = false;
  EXPECT_EQ(OpenSharedMemory("", kShareSize, &created), nullptr);
  EXPECT_EQ(OpenSharedMemory("a/b", kShareSize, &created), nullptr);
  EXPECT_EQ(OpenSharedMemory(std::string_view("a\0b", 3), kShareSize, &created), nullptr);
  EXPECT_EQ(OpenSharedMemory(UniqueName("Empty"), 0, &created), nullptr);
  std::string longest = UniqueName("Long");
  longest.resize(200, 'n');
  EXPECT_EQ(OpenSharedMemory(longest + "n", kShareSize, &created), nullptr);
  SharedMemory *section = OpenSharedMemory(longest, kShareSize, &created);
  EXPECT_NE(section, nullptr);
  CloseSharedMemory(section);
  EXPECT_EQ(MapSharedMemory(nullptr), nullptr);
}

}  // namespace
}  // namespace grabline::os
