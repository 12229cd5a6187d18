// FGInfo: every query kind, per build.
#include <gtest/gtest.h>

#include <optional>

#include "support/plugin_fixture.hpp"
#include "support/test_os.hpp"
#include "support/this_build.hpp"

namespace grabline {
namespace {

using testing::kThisBuild;
using testing::PluginTest;

class Info : public PluginTest {};

TEST_F(Info, UnsupportedKindsSucceedWithoutValues) {
  for (int32_t kind : {7, 15, 16, 17, 18, 21, 23, 1000, -1}) {
    const auto info = plugin_->Query(kind);
    EXPECT_EQ(info.result, kOk) << kind;
    EXPECT_EQ(info.description, "Unsupported query!") << kind;
    EXPECT_TRUE(info.values.empty()) << kind;
  }
  for (int32_t kind : {2, 8}) {
    const auto info = plugin_->Query(kind);
    EXPECT_EQ(info.result, kOk);
    EXPECT_TRUE(info.values.empty());
  }
  EXPECT_EQ(plugin_->Query(2).description, "TARVEL interface for BitFlow boards.");
  EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
}

TEST_F(Info, ParameterListsHaveTheirBuildsLengths) {
  const auto all = plugin_->Query(4);
  const auto ro = plugin_->Query(13);
  const auto wo = plugin_->Query(14);
  const auto hidden = plugin_->Query(22);
  for (const auto *info : {&all, &ro, &wo, &hidden}) {
    EXPECT_EQ(info->result, kOk);
    for (const auto &value : info->values) EXPECT_EQ(value.type, tarvel::Value::Type::kString);
  }
  EXPECT_EQ(all.values.size(), kThisBuild.parameters);
  EXPECT_EQ(ro.values.size(), kThisBuild.read_only);
  EXPECT_EQ(wo.values.size(), kThisBuild.write_only);
  EXPECT_EQ(hidden.values.size(), 14u);
  EXPECT_EQ(all.values.front().s, kThisBuild.first_parameter);
  EXPECT_EQ(all.values.back().s, "freeze_firmware");
}

TEST_F(Info, FixedValueLists) {
  auto ints = [](const tarvel::Plugin::Info &info) {
    std::vector<int64_t> out;
    for (const auto &v : info.values) out.push_back(v.i);
    return out;
  };
  EXPECT_EQ(ints(plugin_->Query(0)), (std::vector<int64_t>{0, 1, 2, 3}));
  EXPECT_EQ(ints(plugin_->Query(9)), (std::vector<int64_t>{8, 10, 12}));
  EXPECT_EQ(ints(plugin_->Query(19)), std::vector<int64_t>{1});
  EXPECT_EQ(ints(plugin_->Query(20)), std::vector<int64_t>{1});
  EXPECT_EQ(plugin_->Query(6).values.at(0).s, kThisBuild.revision);
  EXPECT_EQ(plugin_->Query(10).values.at(1).s, "rgb");
  EXPECT_EQ(plugin_->Query(11).values.at(0).s, "false");
  const auto devices = plugin_->Query(12);
  EXPECT_EQ(devices.values.size(), kThisBuild.devices);
  EXPECT_EQ(devices.values.front().s, "Raven:0");
  EXPECT_EQ(devices.values.back().s, "default");
}

TEST_F(Info, DefaultsComeFromTheClassRecord) {
  const auto defaults = plugin_->Query(3);
  EXPECT_EQ(defaults.result, kOk);
  ASSERT_EQ(defaults.values.size(), 15u);
  EXPECT_EQ(defaults.values[6].i, 4);  // field
  EXPECT_EQ(defaults.values[8].s, "gray");
  EXPECT_EQ(defaults.values[12].s, "default");
}

TEST_F(Info, CameraTypeNamesTheConfigurationDirectory) {
  testing::ScopedRegistryValue config_dir("SYSTEM\\CurrentControlSet\\Services\\BitFlow",
                                          "BFConfigDir", std::nullopt);
  auto info = plugin_->Query(1);
  ASSERT_EQ(info.values.size(), 4u);
  EXPECT_EQ(info.values[0].s, "CAMFILE:");
  EXPECT_EQ(info.values[1].s, kThisBuild.camera_suffixes);
  EXPECT_EQ(info.values[2].s, "\\");
  EXPECT_EQ(info.values[3].s, "default");
  config_dir.Set("/opt/cameras");
  EXPECT_EQ(plugin_->Query(1).values.at(2).s, "/opt/cameras");
}

TEST_F(Info, BoardQueryOffersTheDefaultDeviceWhenABoardExists) {
  auto info = plugin_->Query(5);
  ASSERT_EQ(info.values.size(), 1u);
  EXPECT_EQ(info.values[0].s, "device:default");
  ASSERT_EQ(bfsim::LoadSystem(""), "");
  EXPECT_TRUE(plugin_->Query(5).values.empty());
}

TEST_F(Info, AllocationFailureReachesTheHook) {
  tarvel::FailAllocation(1);
  const auto info = plugin_->Query(4);
  EXPECT_EQ(info.result, T_ERR_MEM);
  EXPECT_EQ(tarvel::ErrorHookCalls().size(), 1u);
}

}  // namespace
}  // namespace grabline
