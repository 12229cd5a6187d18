// Where camera files are found and which files a directory listing shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "grabline/camera_files.hpp"

namespace grabline::tool {
namespace {

namespace fs = std::filesystem;

class ToolCameraFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("grabline_cameras_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub");
    for (const char *name : {"gray8.cam", "colour24.R64", "README.md", ".hidden", "notes"}) {
      std::ofstream(dir_ / name) << "x";
    }
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ToolCameraFiles, DirectoryFromTheEnvironmentOrBuiltIn) {
  EXPECT_EQ(CamerasDirectory(nullptr, "/src/cameras"), "/src/cameras");
  EXPECT_EQ(CamerasDirectory("", "/src/cameras"), "/src/cameras");
  EXPECT_EQ(CamerasDirectory("/mine", "/src/cameras"), "/mine");
}

TEST_F(ToolCameraFiles, PathsAreShownRelativeToTheWorkingDirectoryWhenInsideIt) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(ShownPath((dir_ / "sub").string()), "sub");
  EXPECT_EQ(ShownPath((dir_ / "sub" / ".." / "sub").string()), "sub");
  EXPECT_EQ(ShownPath(dir_.string()), ".");
  EXPECT_EQ(ShownPath("/elsewhere/cameras"), "/elsewhere/cameras");
  EXPECT_EQ(ShownPath((dir_.parent_path() / "other").string()),
            (dir_.parent_path() / "other").string());
  EXPECT_EQ(ShownPath("cams"), "cams");
  fs::current_path(before);
}

TEST_F(ToolCameraFiles, NamesResolveAgainstTheCamerasDirectory) {
  const std::string dir = dir_.string();
  EXPECT_EQ(ResolveCameraFile("default", dir), "default");
  EXPECT_EQ(ResolveCameraFile("gray8.cam", dir), (dir_ / "gray8.cam").string());
  // Paths and names found nowhere are the plug-in's to refuse.
  EXPECT_EQ(ResolveCameraFile("missing.cam", dir), "missing.cam");
  EXPECT_EQ(ResolveCameraFile("./gray8.cam", dir), "./gray8.cam");
  EXPECT_EQ(ResolveCameraFile("sub", dir), "sub") << "a directory is no camera file";
  const std::string absolute = (dir_ / "notes").string();
  EXPECT_EQ(ResolveCameraFile(absolute, "/nowhere"), absolute);
}

TEST_F(ToolCameraFiles, ListingsFilterHiddenReadmeAndExtensions) {
  std::vector<std::string> names;
  std::string error;
  ASSERT_TRUE(ListCameraFiles(dir_.string(), {}, &names, &error)) << error;
  EXPECT_EQ(names, (std::vector<std::string>{"colour24.R64", "gray8.cam", "notes"}));
  const std::vector<std::string> extensions = {"cam", "r64"};
  ASSERT_TRUE(ListCameraFiles(dir_.string(), extensions, &names, &error));
  EXPECT_EQ(names, (std::vector<std::string>{"colour24.R64", "gray8.cam"}));
  EXPECT_FALSE(ListCameraFiles((dir_ / "absent").string(), {}, &names, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace grabline::tool
