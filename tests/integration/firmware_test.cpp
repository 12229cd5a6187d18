// Firmware selection and the SDK's version texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

// R64:0 can switch its firmware, R64:1 cannot; GN2:0 only in the xl build.
constexpr const char *kSystem =
    "family=R64 model=NEON-Q kinds=cl,neon_switchable firmware=Base.bfml,Quad.bfml\n"
    "family=R64 model=R64-CL kinds=cl\n"
    "family=Gn2 model=GN2-CL\n";

class Firmware : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_EQ(bfsim::LoadSystem(kSystem), "");
    tarvel::SetLowError(true);
  }
  static std::string Text(tarvel::Instance *instance, const char *name) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam(name, &values), kOk) << name;
    return values.empty() ? "" : values[0].s;
  }
  static bool Called(const std::vector<std::string> &calls, const char *function) {
    return std::find(calls.begin(), calls.end(), function) != calls.end();
  }
};

TEST_F(Firmware, VersionTextsFromTheSdkNumbers) {
  tarvel::Instance *instance = OpenOn("R64:1");
  ASSERT_NE(instance, nullptr);
  bfsim::SetSdkVersion(6, 0x12);
  EXPECT_EQ(Text(instance, "sdk_revision"), "6.012");
  bfsim::SetSdkVersion(0x80000006u, 0x12);
  EXPECT_EQ(Text(instance, "SDK_Revision"), "6.012 Debug");
  bfsim::SetSdkVersion(0x1a, 0x1234);
  EXPECT_EQ(Text(instance, "sdk_revision"), "1a.1234");
  bfsim::SetSdkBuild(3117);
  EXPECT_EQ(Text(instance, "sdk_build"), "3117");
  bfsim::SetSdkBuild(0xFFFFFFFFu);
  EXPECT_EQ(Text(instance, "sdk_build"), "4294967295");
  EXPECT_EQ(Text(instance, "firmware_directory"), "C:\\Windows\\System32\\Drivers\\BitFlowFlash");
  // Read only: none of them can be set, and the two set names cannot be read.
  for (const char *name :
       {"sdk_revision", "sdk_build", "firmware_directory", "firmware_file_name"}) {
    EXPECT_EQ(instance->SetParam(name, Value::Str("x")), FG_ERR_UNSUPPORTED) << name;
  }
  std::vector<Value> values;
  EXPECT_EQ(instance->GetParam("switch_slave_firmware", &values), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance->GetParam("freeze_firmware", &values), FG_ERR_UNSUPPORTED);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(Firmware, FileNameAsksTheBoardExceptOnGn2) {
  tarvel::Instance *neon = OpenOn("R64:0");
  ASSERT_NE(neon, nullptr);
  bfsim::RecordCalls(true);
  EXPECT_EQ(Text(neon, "firmware_file_name"), "Base.bfml");
  const auto calls = bfsim::TakeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "BFGetCurrentFimwareName");
  EXPECT_EQ(calls[0].args, std::vector<uint64_t>{1024});
  if (!kProfile.has_gn2) return;  // only the xl build opens Gn2 boards

  tarvel::Instance *gn2 = OpenOn("GN2:0");
  ASSERT_NE(gn2, nullptr);
  bfsim::TakeCalls();
  EXPECT_EQ(Text(gn2, "firmware_file_name"), "Standard");
  EXPECT_TRUE(bfsim::TakeCallNames().empty());
}

TEST_F(Firmware, SwitchLoadsTheFileAndLowersTheRequest) {
  tarvel::Instance *neon = OpenOn("R64:0");
  ASSERT_NE(neon, nullptr);
  bfsim::RecordCalls(true);
  ASSERT_EQ(neon->SetParam("switch_slave_firmware", Value::Str("Quad.bfml")), kOk);
  const auto calls = bfsim::TakeCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].function, "BFIsNeonQ");
  EXPECT_EQ(calls[1].function, "BFRegPoke");
  EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{kProfile.reg.flash_switch, 1}));
  EXPECT_EQ(calls[2].function, "BFFlashRequest");
  EXPECT_EQ(calls[3].args, (std::vector<uint64_t>{kProfile.reg.flash_switch, 0}));
  EXPECT_EQ(bfsim::CurrentFirmware(0), "Quad.bfml");
  EXPECT_EQ(Text(neon, "firmware_file_name"), "Quad.bfml");
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(Firmware, RefusedRequestsLeaveTheSwitchRaised) {
  tarvel::Instance *neon = OpenOn("R64:0");
  ASSERT_NE(neon, nullptr);
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Str("Missing.bfml")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.flash_switch), 1u);
  EXPECT_EQ(tarvel::PrintedMessages(), std::vector<std::string>{"Error changing flash.\n"});

  tarvel::ClearLogs();
  bfsim::PokeRegister(0, kProfile.reg.flash_switch, 0);
  bfsim::RefuseFlashRequests(0, 0x4711);
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Str("Quad.bfml")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.flash_switch), 1u);
  EXPECT_EQ(bfsim::CurrentFirmware(0), "Base.bfml");
  tarvel::SetLowError(false);
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Str("Quad.bfml")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(tarvel::PrintedMessages(), std::vector<std::string>{"Error changing flash.\n"});
}

TEST_F(Firmware, SwitchRefusalsBeforeTheBoardIsAsked) {
  tarvel::Instance *plain = OpenOn("R64:1");
  tarvel::Instance *neon = OpenOn("R64:0");
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(neon, nullptr);
  bfsim::RecordCalls(true);
  EXPECT_EQ(plain->SetParam("switch_slave_firmware", Value::Str("Quad.bfml")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(bfsim::TakeCallNames(), std::vector<std::string>{"BFIsNeonQ"});
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Double(1)), FG_ERR_PARAM_TYPE);
  // A name the request cannot hold whole is refused, not cut.
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Str(std::string(1024, 'a'))),
            FG_ERR_PARAM_VALUE);
  EXPECT_FALSE(Called(bfsim::TakeCallNames(), "BFRegPoke"));
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.flash_switch), 0u);
  // The longest name that fits reaches the board, which does not know it.
  EXPECT_EQ(neon->SetParam("switch_slave_firmware", Value::Str(std::string(1023, 'a'))),
            FG_ERR_PARAM_TYPE);
  EXPECT_TRUE(Called(bfsim::TakeCallNames(), "BFFlashRequest"));
}

TEST_F(Firmware, FreezeWritesTheFreezeRegister) {
  tarvel::Instance *neon = OpenOn("R64:0");
  ASSERT_NE(neon, nullptr);
  ASSERT_EQ(neon->SetParam("freeze_firmware", Value::Str("enable")), kOk);
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.fw_freeze), 1u);
  ASSERT_EQ(neon->SetParam("FREEZE_FIRMWARE", Value::Str("DISABLE")), kOk);
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.fw_freeze), 0u);
  bfsim::RecordCalls(true);
  EXPECT_EQ(neon->SetParam("freeze_firmware", Value::Str("true")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(neon->SetParam("freeze_firmware", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_TRUE(bfsim::TakeCallNames().empty());
  EXPECT_EQ(neon->SetParam("freeze_firmware", std::vector<Value>{}), FG_ERR_PARAM_VALUE);
}

// Threads reading the version texts of one instance at once: each gets its
// own intact text (a shared answer buffer would be written by both).
TEST(ThreadedFirmware, ConcurrentReadsKeepTheirTexts) {
  bfsim::Reset();
  auto plugin = testing::LoadPlugin();
  ASSERT_NE(plugin, nullptr);
  Terr code = 0;
  auto params = plugin->Defaults();
  auto instance = plugin->Open(params, &code);
  ASSERT_EQ(code, kOk);
  bfsim::SetSdkVersion(6, 0x12);
  bfsim::SetSdkBuild(3117);
  auto reader = [&](const char *name, const char *expected, int *bad) {
    for (int i = 0; i < 200; ++i) {
      std::vector<Value> values;
      if (instance->GetParam(name, &values) != kOk || values.at(0).s != expected) ++*bad;
    }
  };
  int bad_a = 0, bad_b = 0, bad_c = 0;
  std::thread a(reader, "sdk_revision", "6.012", &bad_a);
  std::thread b(reader, "sdk_revision", "6.012", &bad_b);
  std::thread c(reader, "sdk_build", "3117", &bad_c);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(bad_a + bad_b + bad_c, 0);
  EXPECT_EQ(instance->Close(), kOk);
}

}  // namespace
}  // namespace grabline
