// The timing generator through set_exposure_and_rate and shutter_speed.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

constexpr char kFreeRun[] = "exp 1.5:period 10:trig_mode freerun:assert high:output 0";
constexpr char kFailed[] = "The set exposure function failed.";

class Exposure : public PluginTest {
 protected:
  // R64:0 has a timing generator, Raven:0 has none.
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_EQ(bfsim::LoadSystem("family=R64 model=A\nfamily=Raven model=R\n"), "");
    auto params = Params();
    params.device = "R64:0";
    instance_ = Open(params);
    ASSERT_NE(instance_, nullptr);
    tarvel::SetLowError(true);
  }
  Terr Set(const std::string &text) {
    return instance_->SetParam("set_exposure_and_rate", Value::Str(text));
  }
  static bfsim::TimingDesc Timing() {
    return bfsim::TimingGenerator(0).value_or(bfsim::TimingDesc{});
  }
  tarvel::Instance *instance_ = nullptr;
};

TEST_F(Exposure, TokensProgramTheTimingGenerator) {
  ASSERT_EQ(Set(kFreeRun), kOk);
  bfsim::TimingDesc t = Timing();
  EXPECT_EQ(t.exposure, 1.5);
  EXPECT_EQ(t.period, 10.0);
  EXPECT_EQ(t.trig_mode, 0u);
  EXPECT_EQ(t.assert_high, 1u);
  EXPECT_EQ(t.output, 0u);
  // Any order, blanks optional, a later token wins.
  ASSERT_EQ(Set("output ff:assert low:trig_mode oneshot_encoder:period20:exp 3:exp 4"), kOk);
  t = Timing();
  EXPECT_EQ(t.exposure, 4.0);
  EXPECT_EQ(t.period, 20.0);
  EXPECT_EQ(t.trig_mode, 2u);
  EXPECT_EQ(t.assert_high, 0u);
  EXPECT_EQ(t.output, 0xFFu);
  ASSERT_EQ(Set("exp 1:period 2:trig_mode oneshot_trigger:assert high:output 0x10"), kOk);
  EXPECT_EQ(Timing().trig_mode, 1u);
  EXPECT_EQ(Timing().output, 0x10u);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(Exposure, IncompleteOrUnknownValuesAreRefused) {
  EXPECT_EQ(Set("exp 1.5:period 10:trig_mode freerun:assert high"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set(""), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("exp x:period 10:trig_mode freerun:assert high:output 0"), FG_ERR_PARAM_VALUE);
  // Over-long values and words are refused, never cut.
  EXPECT_EQ(Set(std::string(kFreeRun) + ":" + std::string(1000, ' ')), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("exp 1:period 2:trig_mode " + std::string(200, 'f') + ":assert high:output 0"),
            FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance_->SetParam("set_exposure_and_rate", Value::Double(1)), FG_ERR_PARAM_TYPE);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());

  EXPECT_EQ(Set("exp 1.5:period 10:trig_mode Freerun:assert high:output 0"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("exp 1.5:period 10:trig_mode freerun:assert HIGH:output 0"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("exp 1.5:period 10:trig_mode freerun:assert high:output 100"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{
                "Unsupported trigger mode. Please use 'freerun', 'oneshot_trigger' or "
                "'oneshot_encoder' .",
                "Unsupported asserted_high parameter. Please use 'high' or 'low'.",
                "Unsupported output_signal parameter. Please use value between 0x0000 and "
                "0x00ff."}));
  EXPECT_EQ(bfsim::CallCount("CiConExposureControlSet"), 0u);
  EXPECT_EQ(Timing().exposure, 1000.0);  // as opened
}

TEST_F(Exposure, TimingGeneratorRefusalsAndTheirMessages) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"exp -1:period 10:trig_mode freerun:assert high:output 0",
       "NTG parameters are out of range of NTG."},
      {"exp 20:period 10:trig_mode freerun:assert high:output 0",
       "The exposure period is longer than the line/frame period."},
  };
  for (const Case &c : cases) {
    tarvel::ClearLogs();
    EXPECT_EQ(Set(c.text), FG_ERR_OPERATION_FAILED) << c.text;
    EXPECT_EQ(tarvel::PrintedMessages(), (std::vector<std::string>{kFailed, c.message}));
  }
  tarvel::ClearLogs();
  bfsim::FailCall("CiConExposureControlSet", 1, BF_NTG_BAD_MODE);
  EXPECT_EQ(Set(kFreeRun), FG_ERR_OPERATION_FAILED);
  bfsim::FailCall("CiConExposureControlSet", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(Set(kFreeRun), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{kFailed, "NTG Trigger mode is unknown.", kFailed}));

  auto params = Params();
  params.device = "Raven:0";
  tarvel::Instance *raven = Open(params);
  ASSERT_NE(raven, nullptr);
  tarvel::ClearLogs();
  EXPECT_EQ(raven->SetParam("set_exposure_and_rate", Value::Str(kFreeRun)),
            FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(raven->SetParam("shutter_speed", Value::Double(5.0)), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{kFailed, "Board does not support NTG.", kFailed,
                                      "Board does not support NTG."}));
}

TEST_F(Exposure, ShutterSpeedChangesOnlyTheExposure) {
  ASSERT_EQ(Set("exp 1:period 50:trig_mode oneshot_trigger:assert low:output 3"), kOk);
  EXPECT_EQ(instance_->SetParam("shutter_speed", Value::Int(5)), FG_ERR_PARAM_TYPE);
  ASSERT_EQ(instance_->SetParam("shutter_speed", Value::Double(5.0)), kOk);
  const bfsim::TimingDesc t = Timing();
  EXPECT_EQ(t.exposure, 5.0);
  EXPECT_EQ(t.period, 50.0);
  EXPECT_EQ(t.trig_mode, 1u);
  EXPECT_EQ(t.assert_high, 0u);
  EXPECT_EQ(t.output, 3u);
  EXPECT_EQ(instance_->SetParam("shutter_speed", Value::Double(60.0)), FG_ERR_OPERATION_FAILED);
  bfsim::FailCall("CiConExposureControlGet", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(instance_->SetParam("shutter_speed", Value::Double(6.0)), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{
                kFailed, "The exposure period is longer than the line/frame period.", kFailed}));
  EXPECT_EQ(Timing().exposure, 5.0);
  std::vector<Value> values;
  EXPECT_EQ(instance_->GetParam("shutter_speed", &values), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance_->GetParam("set_exposure_and_rate", &values), FG_ERR_UNSUPPORTED);
}

}  // namespace
}  // namespace grabline
