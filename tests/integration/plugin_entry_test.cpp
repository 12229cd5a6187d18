// FGInit and FGAllocInstance as the host sees them, through the real loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/loaded_plugin.hpp"
#include "support/test_os.hpp"
#include "support/this_build.hpp"
#include "tarvel.h"

namespace grabline {
namespace {

// The host fills the record with this byte before FGInit.
constexpr unsigned char kUnwritten = 0xA5;

bool Untouched(const void *field, size_t size) {
  const auto *bytes = static_cast<const unsigned char *>(field);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != kUnwritten) return false;
  }
  return true;
}

class PluginEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin_ = testing::LoadPlugin();
    ASSERT_NE(plugin_, nullptr);
  }
  TFgClass &fg() { return plugin_->fg_class(); }
  std::unique_ptr<tarvel::Plugin> plugin_;
};

TEST_F(PluginEntry, InitWritesTheClassRecordOfItsBuild) {
  EXPECT_EQ(plugin_->init_result(), T_MSG_OK);
  EXPECT_EQ(fg().interface_version, testing::kThisBuild.interface_version);
  EXPECT_EQ(fg().class_flag, 1);
  EXPECT_EQ(fg().instances_num, 0);
  EXPECT_EQ(fg().instances_max, testing::kThisBuild.max_instances);
}

TEST_F(PluginEntry, InitWritesEveryDefault) {
  EXPECT_EQ(fg().horizontal_resolution, 1);
  EXPECT_EQ(fg().vertical_resolution, 1);
  EXPECT_EQ(fg().image_width, 0);
  EXPECT_EQ(fg().image_height, 0);
  EXPECT_EQ(fg().start_row, 0);
  EXPECT_EQ(fg().start_column, 0);
  EXPECT_EQ(fg().field, 4);
  EXPECT_EQ(fg().bits_per_channel, -1);
  EXPECT_STREQ(fg().color_space, "gray");
  EXPECT_FLOAT_EQ(fg().gain, 1.0f);
  EXPECT_EQ(fg().external_trigger, 0);
  EXPECT_STREQ(fg().camera_type, "default");
  EXPECT_STREQ(fg().device, "default");
  EXPECT_EQ(fg().port, 0);
  EXPECT_EQ(fg().line_in, 1);
}

TEST_F(PluginEntry, InitWritesTheOperationSlotsAndLeavesTheOthers) {
  EXPECT_NE(fg().ops.alloc_instance, nullptr);
  EXPECT_NE(fg().ops.open, nullptr);
  EXPECT_NE(fg().ops.close, nullptr);
  EXPECT_NE(fg().ops.grab, nullptr);
  EXPECT_NE(fg().ops.grab_start, nullptr);
  EXPECT_NE(fg().ops.grab_async, nullptr);
  EXPECT_TRUE(Untouched(&fg().ops.reserved6, sizeof fg().ops.reserved6));
  EXPECT_TRUE(Untouched(&fg().ops.reserved7, sizeof fg().ops.reserved7));
  EXPECT_NE(fg().param_ops.info, nullptr);
  EXPECT_NE(fg().param_ops.set_param, nullptr);
  EXPECT_NE(fg().param_ops.get_param, nullptr);
  EXPECT_NE(fg().param_ops.set_lut, nullptr);
  EXPECT_NE(fg().param_ops.get_lut, nullptr);
#if !defined(TARVEL_BUILD_PAR)  // the par host's second table ends after the LUT operations
  EXPECT_NE(fg().param_ops.set_callback, nullptr);
  EXPECT_NE(fg().param_ops.get_callback, nullptr);
  EXPECT_TRUE(Untouched(&fg().reserved, sizeof fg().reserved));
#endif
  // The instance array is the host's until an instance is opened.
  EXPECT_TRUE(Untouched(fg().instance, sizeof fg().instance));
}

TEST_F(PluginEntry, AllocInstanceBindsTheFirstFreeRecordWithoutTakingIt) {
  TFgInstance first{};
  TFgInstance second{};
  TFgInstance **slot = fg().ops.alloc_instance(plugin_->proc(), &first);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot, &fg().instance[0]);
  EXPECT_NE(first.currInst, nullptr);
  // Only a successful open takes the record, so the same slot comes back.
  EXPECT_EQ(fg().ops.alloc_instance(plugin_->proc(), &second), slot);
  EXPECT_EQ(second.currInst, first.currInst);
}

TEST_F(PluginEntry, AllocInstanceRefusesANullHostRecord) {
  EXPECT_EQ(fg().ops.alloc_instance(plugin_->proc(), nullptr), nullptr);
}

TEST(PluginExports, FGInitIsTheOnlyExportedFunction) {
  const std::vector<std::string> functions = testing::ExportedFunctions(
      testing::PluginDirectory() + "/" + testing::LibraryFile(GRABLINE_PLUGIN_NAME));
  EXPECT_EQ(functions, std::vector<std::string>{"FGInit"});
}

}  // namespace
}  // namespace grabline
