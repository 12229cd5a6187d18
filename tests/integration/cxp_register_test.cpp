// CoaXPress camera registers by address: cxp_peek:%x and cxp_poke:%x, in the
// builds that have them.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

class CxpRegisters : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    tarvel::SetLowError(true);
  }
};

TEST_F(CxpRegisters, StandardBuildDoesNotKnowThem) {
  if (kProfile.has_cxp_registers) GTEST_SKIP() << "this build has CoaXPress access";
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  std::vector<Value> values;
  EXPECT_EQ(instance->SetParam("cxp_poke:10", Value::Int(1)), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance->SetParam("cxp_poke:10", Value::Str("1")), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance->GetParam("cxp_peek:1000", &values), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(bfsim::CallCount("BFCXPReadReg") + bfsim::CallCount("BFCXPWriteReg"), 0u);
}

TEST_F(CxpRegisters, PeekAndPokeByHexAddressOnTheBoardsLink) {
  if (!kProfile.has_cxp_registers || !kProfile.has_gn2) GTEST_SKIP() << "needs a CoaXPress board";
  ASSERT_EQ(bfsim::LoadSystem("family=Gn2 model=X kinds=cxp\n"), "");
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  ASSERT_TRUE(bfsim::SetCxpRegister(0, 0x1000, 0xC0FFEE));
  std::vector<Value> values;
  ASSERT_EQ(instance->GetParam("cxp_peek:1000", &values), kOk);
  EXPECT_EQ(values.at(0).i, 0xC0FFEE);
  ASSERT_EQ(instance->SetParam("cxp_poke:0x1004", Value::Int(0x1234)), kOk);
  EXPECT_EQ(bfsim::CxpRegister(0, 0x1004), 0x1234u);
  ASSERT_EQ(instance->GetParam("cxp_peek:1004", &values), kOk);
  EXPECT_EQ(values.at(0).i, 0x1234);

  EXPECT_EQ(instance->GetParam("cxp_peek:2000", &values), FG_ERR_GET_FAILED);
  EXPECT_EQ(instance->SetParam("cxp_poke:4", Value::Int(1)), FG_ERR_GET_FAILED);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{"CXP peek failed.", "CXP poke failed."}));
}

TEST_F(CxpRegisters, NameFormsAndValueType) {
  if (!kProfile.has_cxp_registers) GTEST_SKIP() << "no CoaXPress access in this build";
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  std::vector<Value> values;
  // The type is checked before the name is looked at.
  EXPECT_EQ(instance->SetParam("cxp_poke:zz", Value::Double(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(instance->SetParam("cxp_poke:zz", Value::Int(1)), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance->GetParam("cxp_peek:", &values), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance->GetParam("CXP_PEEK:1000", &values), FG_ERR_UNSUPPORTED);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
  // Every access names the board's own link; the R64 board has no camera
  // registers to answer with.
  bfsim::RecordCalls(true);
  EXPECT_EQ(instance->GetParam("cxp_peek:1000", &values), FG_ERR_GET_FAILED);
  std::vector<bfsim::Call> calls = bfsim::TakeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "BFCXPReadReg");
  EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{255, 0x1000}));
}

}  // namespace
}  // namespace grabline
