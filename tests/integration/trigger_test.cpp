// Triggering through the loader: software triggering of grabs (and the GN2
// take-over), a trigger on demand, the external trigger and the encoder.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

class Triggers : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    tarvel::SetLowError(true);
  }
  static std::string Word(tarvel::Instance *instance, const char *name) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam(name, &values), kOk) << name;
    return values.empty() ? "" : values[0].s;
  }
  static int64_t Int(tarvel::Instance *instance, const char *name) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam(name, &values), kOk) << name;
    return values.empty() ? -1 : values[0].i;
  }
};

TEST_F(Triggers, SoftwareTriggerNeedsAOneShotCamera) {
  tarvel::Instance *instance = OpenOn("R64:0", "gray8.cam");
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->SetParam("software_trigger", Value::Str("enable")), FG_ERR_TRIGGER_MODE);
  EXPECT_EQ(
      tarvel::PrintedMessages(),
      std::vector<std::string>{"Software trigger mode and only be used with one shot triggering."});
  EXPECT_EQ(Word(instance, "software_trigger"), "disable");
  EXPECT_EQ(instance->SetParam("software_trigger", Value::Str("disable")), kOk);
  EXPECT_EQ(instance->SetParam("software_trigger", Value::Str("on")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance->SetParam("software_trigger", Value::Int(1)), FG_ERR_PARAM_TYPE);
}

TEST_F(Triggers, EachGrabIssuesOneSoftwareTriggerForOneFrame) {
  auto params = Params("oneshot8.cam");
  params.external_trigger = true;
  tarvel::Instance *instance = Open(params);
  ASSERT_NE(instance, nullptr);
  ASSERT_TRUE(bfsim::Trigger(0)->external_connected);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(100)), kOk);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), FG_ERR_TIMEOUT);  // nothing triggers the camera

  ASSERT_EQ(instance->SetParam("software_trigger", Value::Str("enable")), kOk);
  EXPECT_EQ(Word(instance, "software_trigger"), "enable");
  EXPECT_FALSE(bfsim::Trigger(0)->external_connected);
  EXPECT_EQ(instance->record().external_trigger, 0);
  const uint64_t frames = bfsim::FramesProduced(0);
  for (int grab = 1; grab <= 3; ++grab) {
    ASSERT_EQ(instance->Grab(&images), kOk);
    EXPECT_EQ(images.size(), 1u);
    EXPECT_EQ(bfsim::CallCount("CiConSwTrig"), static_cast<uint64_t>(grab));
    EXPECT_EQ(bfsim::FramesProduced(0), frames + grab);
  }
  // A refused disconnect leaves software triggering off.
  ASSERT_EQ(instance->SetParam("software_trigger", Value::Str("disable")), kOk);
  bfsim::FailCall("CiConExTrigConnect", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(instance->SetParam("software_trigger", Value::Str("enable")), FG_ERR_BOARD);
  EXPECT_EQ(Word(instance, "software_trigger"), "disable");
}

TEST_F(Triggers, Gn2TriggerRegisterIsTakenOverUntilDisable) {
  if (!kProfile.has_gn2) GTEST_SKIP() << "no Gn2 handling in this build";
  ASSERT_EQ(bfsim::LoadSystem("family=Gn2 model=G\n"), "");
  tarvel::Instance *instance = OpenOn("GN2:0", "gray8.cam");
  ASSERT_NE(instance, nullptr);
  const uint32_t reg = kProfile.reg.gn2_trigger;
  for (uint32_t before : {5u, 0xFFFFFFFFu}) {
    bfsim::PokeRegister(0, reg, before);
    ASSERT_EQ(instance->SetParam("software_trigger", Value::Str("enable")), kOk);
    EXPECT_EQ(bfsim::PeekRegister(0, reg), 8u);
    // The free-running camera is now triggered by software: one frame a grab.
    std::vector<tarvel::Image> images;
    const uint64_t frames = bfsim::FramesProduced(0);
    ASSERT_EQ(instance->Grab(&images), kOk);
    EXPECT_EQ(bfsim::FramesProduced(0), frames + 1);
    EXPECT_EQ(bfsim::PeekRegister(0, reg), 8u);
    ASSERT_EQ(instance->SetParam("software_trigger", Value::Str("disable")), kOk);
    EXPECT_EQ(bfsim::PeekRegister(0, reg), before);
  }
  // A pulse on demand goes through the register and leaves it as it was.
  const uint64_t pulses = bfsim::CallCount("CiConSwTrig");
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->SetParam("do_force_trigger", std::vector<Value>{}), kOk);
  std::vector<uint64_t> written;
  for (const bfsim::Call &call : bfsim::TakeCalls()) {
    if (call.function == "BFRegPoke" && call.args.at(0) == reg) written.push_back(call.args.at(1));
  }
  EXPECT_EQ(written, (std::vector<uint64_t>{0, 1, 0, 0xFFFFFFFF}));
  EXPECT_EQ(bfsim::CallCount("CiConSwTrig"), pulses);
}

TEST_F(Triggers, ForceTriggerPulsesTheSoftwareTrigger) {
  tarvel::Instance *instance = OpenOn("R64:0", "oneshot8.cam");
  ASSERT_NE(instance, nullptr);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->SetParam("do_force_trigger", std::vector<Value>{}), kOk);
  ASSERT_EQ(instance->SetParam("DO_FORCE_TRIGGER", Value::Str("anything")), kOk);
  std::vector<std::vector<uint64_t>> pulses;
  for (const bfsim::Call &call : bfsim::TakeCalls()) {
    if (call.function == "CiConSwTrig") pulses.push_back(call.args);
  }
  EXPECT_EQ(pulses, (std::vector<std::vector<uint64_t>>{{1, 17}, {1, 17}}));
  bfsim::FailCall("CiConSwTrig", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(instance->SetParam("do_force_trigger", std::vector<Value>{}), FG_ERR_OPERATION_FAILED);
}

TEST_F(Triggers, ExternalTriggerNeedsATriggeredCameraOrABoardThatCan) {
  ASSERT_EQ(bfsim::LoadSystem("family=R64 model=A\nfamily=Raven model=R\n"), "");
  tarvel::Instance *free_run = OpenOn("R64:0", "gray8.cam");
  ASSERT_NE(free_run, nullptr);
  EXPECT_EQ(free_run->SetParam("external_trigger", Value::Str("enable")), FG_ERR_BOARD);
  EXPECT_EQ(tarvel::PrintedMessages(),
            std::vector<std::string>{"The board only supports external triggering with external "
                                     "trigger camera files such as one-shot.\n"});
  EXPECT_FALSE(bfsim::Trigger(0)->external_connected);
  EXPECT_EQ(free_run->SetParam("external_trigger", Value::Str("maybe")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(free_run->SetParam("external_trigger", Value::Int(1)), FG_ERR_PARAM_TYPE);
  ASSERT_EQ(Close(free_run), kOk);

  tarvel::Instance *oneshot = OpenOn("R64:0", "oneshot8.cam");
  ASSERT_NE(oneshot, nullptr);
  ASSERT_EQ(oneshot->SetParam("software_trigger", Value::Str("enable")), kOk);
  ASSERT_EQ(oneshot->SetParam("external_trigger", Value::Str("Enable")), kOk);
  EXPECT_TRUE(bfsim::Trigger(0)->external_connected);
  EXPECT_EQ(oneshot->record().external_trigger, 1);
  EXPECT_EQ(Word(oneshot, "software_trigger"), "disable");
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 0u);  // connected, but no grab armed
  ASSERT_EQ(oneshot->SetParam("external_trigger", Value::Str("disable")), kOk);
  EXPECT_FALSE(bfsim::Trigger(0)->external_connected);
  EXPECT_EQ(oneshot->record().external_trigger, 0);

  tarvel::ClearLogs();
  bfsim::FailCall("CiConExTrigConnect", 1, BF_ERR_BAD_ARG);
  bfsim::FailCall("CiConExTrigConnect", 2, BF_ERR_BAD_ARG);
  EXPECT_EQ(oneshot->SetParam("external_trigger", Value::Str("enable")), FG_ERR_BOARD);
  EXPECT_EQ(oneshot->SetParam("external_trigger", Value::Str("disable")), FG_ERR_BOARD);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{"Error enabling external trigger.\n",
                                      "Error disabling external trigger.\n"}));

  // Ravens trigger externally with any camera file.
  tarvel::Instance *raven = OpenOn("Raven:0", "gray8.cam");
  ASSERT_NE(raven, nullptr);
  EXPECT_EQ(raven->SetParam("external_trigger", Value::Str("enable")), kOk);
}

TEST_F(Triggers, EncoderDivider) {
  ASSERT_EQ(bfsim::LoadSystem("family=R64 model=A\nfamily=R64 model=K kinds=karbon\n"
                              "family=Raven model=R\n"),
            "");
  tarvel::Instance *r64 = OpenOn("R64:0", "gray8.cam");
  tarvel::Instance *karbon = OpenOn("R64:1", "gray8.cam");
  tarvel::Instance *raven = OpenOn("Raven:0", "gray8.cam");
  ASSERT_TRUE(r64 && karbon && raven);
  ASSERT_EQ(r64->SetParam("encoder_scan_step", Value::Int(1023)), kOk);
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.enc_div_r64), 1023u);
  EXPECT_EQ(Int(r64, "encoder_scan_step"), 1023);
  EXPECT_EQ(r64->SetParam("encoder_scan_step", Value::Int(1024)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(r64->SetParam("encoder_scan_step", Value::Int(-1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(r64->SetParam("encoder_scan_step", Value::Double(5)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(tarvel::PrintedMessages(),
            std::vector<std::string>{"The largest divider value is 1023"});
  EXPECT_EQ(Int(r64, "encoder_scan_step"), 1023);

  ASSERT_EQ(karbon->SetParam("encoder_scan_step", Value::Int(17)), kOk);
  EXPECT_EQ(bfsim::PeekRegister(1, kProfile.reg.enc_div_kbn), 17u);
  EXPECT_EQ(bfsim::PeekRegister(1, kProfile.reg.enc_div_r64), 0u);
  EXPECT_EQ(Int(karbon, "encoder_scan_step"), 17);
  // A board without a divider takes the value and changes nothing.
  EXPECT_EQ(raven->SetParam("encoder_scan_step", Value::Int(5)), kOk);
  EXPECT_EQ(Int(raven, "encoder_scan_step"), 0);
  bfsim::FailCall("BFRegPoke", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(r64->SetParam("encoder_scan_step", Value::Int(3)), FG_ERR_OPERATION_FAILED);

  EXPECT_EQ(Int(r64, "last_encoder_count"), 0);
}

}  // namespace
}  // namespace grabline
