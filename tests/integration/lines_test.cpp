// The digital lines through the loader: gport, out:n, in:n and cc:n.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

std::vector<Value> Ints(std::initializer_list<int64_t> values) {
  std::vector<Value> out;
  for (int64_t v : values) out.push_back(Value::Int(v));
  return out;
}

class Lines : public PluginTest {
 protected:
  // R64:0 (Camera Link, output 6 high), RoadRunner:0 (not Camera Link),
  // RoadRunner:1 (Camera Link), Raven:0, and in the xl build GN2:0.
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_EQ(bfsim::LoadSystem("family=R64 model=A kinds=cl gpout=0x40\n"
                                "family=RoadRunner model=RR\n"
                                "family=RoadRunner model=RRCL kinds=cl\n"
                                "family=Raven model=R\n"
                                "family=Gn2 model=G\n"),
              "");
    tarvel::SetLowError(true);
  }
  static std::string Level(tarvel::Instance *instance, const std::string &name,
                           Terr expected = kOk) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam(name, &values), expected) << name;
    return expected == kOk && !values.empty() ? values[0].s : "";
  }
};

TEST_F(Lines, GportDrivesR64OutputsAfterCheckingEveryValue) {
  tarvel::Instance *r64 = OpenOn("R64:0");
  ASSERT_NE(r64, nullptr);
  EXPECT_EQ(r64->SetParam("gport", Ints({1, 0, -1, 1, 0, 0, 1})), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(r64->SetParam("gport", Ints({1, 0, -1, 1, 0, 0, 1, 2})), FG_ERR_PARAM_VALUE);
  std::vector<Value> mixed = Ints({1, 0, -1, 1, 0, 0, 1, 0});
  mixed[3] = Value::Double(1.0);
  EXPECT_EQ(r64->SetParam("gport", mixed), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(bfsim::CallCount("CiRegGPOutSet"), 0u);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{"The tuple should contain 8 values.",
                                      "Tuple values must be either -1, 0 or 1."}));

  ASSERT_EQ(r64->SetParam("gport", Ints({1, 0, -1, 1, 0, 0, 0, 1})), kOk);
  EXPECT_EQ(bfsim::Lines(0)->outputs, 0b0001001u);  // output 2 kept its level
  std::vector<Value> read;
  ASSERT_EQ(r64->GetParam("gport", &read), kOk);
  ASSERT_EQ(read.size(), 7u);
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(read[i].i, (0b0001001 >> i) & 1) << i;
  // gport does not change what out:n reports (the level read at open).
  EXPECT_EQ(Level(r64, "out:6"), "high");

  tarvel::ClearLogs();
  bfsim::FailCall("CiRegGPOutSet", 2, BF_ERR_BAD_ARG);
  EXPECT_EQ(r64->SetParam("gport", Ints({0, 1, 1, -1, -1, -1, -1, -1})), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(bfsim::Lines(0)->outputs, 0b0001000u);  // output 0 had been driven
  EXPECT_EQ(tarvel::PrintedMessages(), std::vector<std::string>{"Error setting GPout."});
}

TEST_F(Lines, GportOnOtherFamilies) {
  tarvel::Instance *raven = OpenOn("Raven:0");
  ASSERT_NE(raven, nullptr);
  EXPECT_EQ(raven->SetParam("gport", Ints({0, 0, 0, 0, 0, 0, 0, 0})), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(
      tarvel::PrintedMessages(),
      std::vector<std::string>{"This parameter is only supported with the R64 family of boards."});
  Level(raven, "gport", FG_ERR_UNSUPPORTED);
  if (!kProfile.has_gn2) return;
  tarvel::Instance *gn2 = OpenOn("GN2:0");
  ASSERT_NE(gn2, nullptr);
  ASSERT_EQ(bfsim::Lines(4)->gpout, 0u);
  bfsim::PokeRegister(4, kProfile.reg.gport_gn2, 0x5);
  std::vector<Value> read;
  ASSERT_EQ(gn2->GetParam("gport", &read), kOk);
  ASSERT_EQ(read.size(), 4u);
  for (const Value &v : read) EXPECT_EQ(v.i, 0x5);
}

TEST_F(Lines, OutputLevelsByFamily) {
  tarvel::Instance *r64 = OpenOn("R64:0");
  ASSERT_NE(r64, nullptr);
  EXPECT_EQ(Level(r64, "out:6"), "high");  // read from the board at open
  EXPECT_EQ(Level(r64, "out:0"), "low");
  ASSERT_EQ(r64->SetParam("out:6", Value::Str("low")), kOk);
  EXPECT_EQ(Level(r64, "out:6"), "low");
  ASSERT_EQ(r64->SetParam("out:6", Value::Str("HIGH")), kOk);
  EXPECT_EQ(Level(r64, "out:6"), "high");
  EXPECT_EQ(bfsim::Lines(0)->outputs, 0x40u);
  EXPECT_EQ(r64->SetParam("out:7", Value::Str("high")), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(r64->SetParam("out:7", Value::Str("up")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(r64->SetParam("out:x", Value::Str("high")), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(r64->SetParam("out:x", Value::Int(1)), FG_ERR_PARAM_TYPE);  // type first
  EXPECT_EQ(r64->SetParam("OUT:1", Value::Str("high")), FG_ERR_UNSUPPORTED);
  Level(r64, "out:7", FG_ERR_UNSUPPORTED);
  Level(r64, "out:-1", FG_ERR_UNSUPPORTED);

  // A line the board does not drive keeps the level it had.
  bfsim::FailCall("CiRegGPOutSet", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(r64->SetParam("out:6", Value::Str("low")), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(Level(r64, "out:6"), "high");

  // RoadRunners without Camera Link have three lines, enabled before use.
  tarvel::Instance *rr = OpenOn("RoadRunner:0");
  ASSERT_NE(rr, nullptr);
  EXPECT_EQ(rr->SetParam("out:3", Value::Str("high")), FG_ERR_UNSUPPORTED);
  ASSERT_EQ(rr->SetParam("out:2", Value::Str("high")), kOk);
  EXPECT_EQ(bfsim::PeekRegister(1, kProfile.reg.out_enable[2]), 1u);
  EXPECT_EQ(bfsim::Lines(1)->outputs, 0x4u);
  tarvel::Instance *rr_cl = OpenOn("RoadRunner:1");
  ASSERT_NE(rr_cl, nullptr);
  EXPECT_EQ(rr_cl->SetParam("out:5", Value::Str("high")), kOk);
  EXPECT_EQ(rr_cl->SetParam("out:6", Value::Str("high")), FG_ERR_UNSUPPORTED);
  tarvel::Instance *raven = OpenOn("Raven:0");
  ASSERT_NE(raven, nullptr);
  EXPECT_EQ(raven->SetParam("out:6", Value::Str("high")), FG_ERR_UNSUPPORTED);
}

TEST_F(Lines, InputLevelsByFamily) {
  for (uint32_t n = 0; n < 5; ++n) bfsim::SetInputLines(n, 0b110011);
  tarvel::Instance *r64 = OpenOn("R64:0");
  tarvel::Instance *rr = OpenOn("RoadRunner:0");
  tarvel::Instance *rr_cl = OpenOn("RoadRunner:1");
  tarvel::Instance *raven = OpenOn("Raven:0");
  ASSERT_TRUE(r64 && rr && rr_cl && raven);
  EXPECT_EQ(Level(r64, "in:0"), "high");
  EXPECT_EQ(Level(r64, "in:2"), "low");
  EXPECT_EQ(Level(r64, "in:4"), "high");
  Level(r64, "in:5", FG_ERR_UNSUPPORTED);
  EXPECT_EQ(Level(rr, "in:0"), "high");
  Level(rr, "in:1", FG_ERR_UNSUPPORTED);
  EXPECT_EQ(Level(rr_cl, "in:1"), "high");
  EXPECT_EQ(Level(rr_cl, "in:2"), "low");
  Level(rr_cl, "in:0", FG_ERR_UNSUPPORTED);
  EXPECT_EQ(Level(raven, "in:3"), "low");
  Level(raven, "in:4", FG_ERR_UNSUPPORTED);
  Level(raven, "in:", FG_ERR_UNSUPPORTED);
  bfsim::SetInputLines(0, 0b000100);
  EXPECT_EQ(Level(r64, "in:2"), "high");
  if (!kProfile.has_gn2) return;
  tarvel::Instance *gn2 = OpenOn("GN2:0");
  ASSERT_NE(gn2, nullptr);
  EXPECT_EQ(Level(gn2, "in:5"), "high");
  EXPECT_EQ(Level(gn2, "in:3"), "low");
  Level(gn2, "in:6", FG_ERR_UNSUPPORTED);
}

TEST_F(Lines, CameraControlLines) {
  tarvel::Instance *r64 = OpenOn("R64:0");
  ASSERT_NE(r64, nullptr);
  ASSERT_EQ(r64->SetParam("cc:0", Value::Int(3)), kOk);
  EXPECT_EQ(bfsim::Lines(0)->cc[0], 3u);
  ASSERT_EQ(r64->SetParam("cc:1", Value::Int(5)), kOk);  // the same register as cc:0
  ASSERT_EQ(r64->SetParam("cc:3", Value::Int(7)), kOk);
  EXPECT_EQ(bfsim::Lines(0)->cc[0], 5u);
  EXPECT_EQ(bfsim::Lines(0)->cc[2], 7u);
  EXPECT_EQ(r64->SetParam("cc:2", Value::Int(8)), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(r64->SetParam("cc:4", Value::Int(1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(r64->SetParam("cc:x", Value::Str("1")), FG_ERR_PARAM_TYPE);  // type first
  EXPECT_EQ(r64->SetParam("cc:x", Value::Int(1)), FG_ERR_UNSUPPORTED);
  Level(r64, "cc:0", FG_ERR_UNSUPPORTED);  // not readable
  bfsim::FailCall("BFRegPoke", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(r64->SetParam("cc:2", Value::Int(1)), FG_ERR_OPERATION_FAILED);
  tarvel::Instance *raven = OpenOn("Raven:0");
  ASSERT_NE(raven, nullptr);
  EXPECT_EQ(raven->SetParam("cc:0", Value::Int(1)), FG_ERR_UNSUPPORTED);
}

}  // namespace
}  // namespace grabline
