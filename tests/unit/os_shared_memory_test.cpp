#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/os.hpp"

namespace grabline::os {
namespace {

constexpr size_t kShareSize = 468;

// Names unique to this process, so that flavours tested side by side never meet.
std::string UniqueName(const char *what) {
  return "TarvelSharedOsTest" + std::to_string(getpid()) + what;
}

// Whether the POSIX object behind a section name exists.
bool ObjectExists(const std::string &name) {
  const int fd = shm_open(("/" + name).c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

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
  EXPECT_TRUE(ObjectExists(name));  // the second handle keeps it
  CloseSharedMemory(second);
  EXPECT_FALSE(ObjectExists(name));

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
  EXPECT_TRUE(ObjectExists(name));
  UnmapSharedMemory(nullptr, view);
  EXPECT_FALSE(ObjectExists(name));
}

// A section made elsewhere (another process) is opened, not replaced; one too
// small for the caller is refused rather than mapped short.
TEST(OsSharedMemory, OpensSectionsMadeElsewhereWhenBigEnough) {
  const std::string name = UniqueName("Foreign");
  const int fd = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100), 0);
  ASSERT_EQ(pwrite(fd, "x", 1, 0), 1);
  close(fd);

  bool created = true;
  EXPECT_EQ(OpenSharedMemory(name, kShareSize, &created), nullptr);
  SharedMemory *section = OpenSharedMemory(name, 100, &created);
  ASSERT_NE(section, nullptr);
  EXPECT_FALSE(created);
  auto *view = static_cast<char *>(MapSharedMemory(section));
  EXPECT_EQ(view[0], 'x');
  EXPECT_EQ(OpenSharedMemory(name, 101, &created), nullptr);  // also when open here
  UnmapSharedMemory(section, view);
  CloseSharedMemory(section);
  EXPECT_FALSE(ObjectExists(name));
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
