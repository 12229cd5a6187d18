// Register access by name and identifier.
#include <gtest/gtest.h>

#include <cctype>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::PluginTest;
using tarvel::Value;

class Registers : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    instance_ = OpenOk();
    ASSERT_NE(instance_, nullptr);
    name_ = bfsim::RegisterNames().at(kProfile.reg.lut_switch);
    ASSERT_FALSE(name_.empty());
  }
  int64_t Get(const std::string &name, Terr expected = kOk) {
    std::vector<Value> values;
    EXPECT_EQ(instance_->GetParam(name, &values), expected) << name;
    return values.empty() ? -1 : values[0].i;
  }
  tarvel::Instance *instance_ = nullptr;
  std::string name_;
};

TEST_F(Registers, NameLookUpIgnoresCaseAndAgreesWithTheIndexForms) {
  std::string lower = name_;
  for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(Get("register_index_get:" + lower), kProfile.reg.lut_switch);
  const int64_t by_name = Get("register_peek:" + lower);
  EXPECT_EQ(Get("register_index_peek:" + std::to_string(kProfile.reg.lut_switch)), by_name);
  EXPECT_EQ(static_cast<uint32_t>(by_name), bfsim::PeekRegister(0, kProfile.reg.lut_switch));
}

TEST_F(Registers, PokeByNameAndByIndex) {
  const std::string plain = bfsim::RegisterNames().at(100);
  ASSERT_EQ(instance_->SetParam("register_poke:" + plain, Value::Int(0x1234)), kOk);
  EXPECT_EQ(bfsim::PeekRegister(0, 100), 0x1234u);
  ASSERT_EQ(instance_->SetParam("register_index_poke:100", Value::Int(0x55)), kOk);
  EXPECT_EQ(Get("register_index_peek:100"), 0x55);
}

TEST_F(Registers, FailuresAndTheirCodes) {
  tarvel::SetLowError(true);
  EXPECT_EQ(instance_->SetParam("register_poke:" + name_, Value::Double(1.0)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(instance_->SetParam("register_poke", Value::Double(1.0)), FG_ERR_PARAM_TYPE);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
  Get("register_peek:NO_SUCH_REGISTER", FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance_->SetParam("register_poke:NO_SUCH_REGISTER", Value::Int(1)),
            FG_ERR_UNSUPPORTED);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{"Register not found.",
                                      "Register not found in parameter 'reg_poke'."}));
  Get("register_peek:", FG_ERR_UNSUPPORTED);
  Get("register_index_peekx", FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance_->SetParam("register_index_poke:x", Value::Int(1)), FG_ERR_UNSUPPORTED);
  // An identifier the board does not have is passed on; the SDK reads 0.
  EXPECT_EQ(Get("register_index_peek:4000000"), 0);
}

}  // namespace
}  // namespace grabline
