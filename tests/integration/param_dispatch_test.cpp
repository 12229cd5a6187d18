// How FGSetParam and FGGetParam find a branch and check what they are given.
#include <gtest/gtest.h>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::PluginTest;
using tarvel::Value;

class ParamDispatch : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    instance_ = OpenOk();
    ASSERT_NE(instance_, nullptr);
  }
  Terr Set(const char *name, const Value &value) { return instance_->SetParam(name, value); }
  Terr Set(const char *name) { return instance_->SetParam(name, std::vector<Value>{}); }
  Value Get(const char *name, Terr expected = kOk) {
    std::vector<Value> values;
    EXPECT_EQ(instance_->GetParam(name, &values), expected) << name;
    return values.empty() ? Value{} : values[0];
  }
  std::vector<Value> GetAll(const char *name) {
    std::vector<Value> values;
    EXPECT_EQ(instance_->GetParam(name, &values), kOk) << name;
    return values;
  }
  tarvel::Instance *instance_ = nullptr;
};

TEST_F(ParamDispatch, WholeNamesIgnoreCaseWordsToo) {
  EXPECT_EQ(Set("GRAB_TIMEOUT", Value::Int(1234)), kOk);
  EXPECT_EQ(Get("Grab_Timeout").i, 1234);
  EXPECT_EQ(Set("Resnap", Value::Str("True")), kOk);
  EXPECT_EQ(Get("resnap").s, "true");
  EXPECT_EQ(Set("resnap", Value::Str("yes")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("resnap", Value::Int(1)), FG_ERR_PARAM_TYPE);
}

TEST_F(ParamDispatch, UnknownAndReadOnlyNamesAreUnsupported) {
  EXPECT_EQ(Set("no_such_parameter", Value::Int(1)), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(Set("end_of_exposure", Value::Int(1)), FG_ERR_UNSUPPORTED);
  Get("no_such_parameter", FG_ERR_UNSUPPORTED);
  Get("debug_output", FG_ERR_UNSUPPORTED);
  Get("resnap_values_values", FG_ERR_UNSUPPORTED);
}

TEST_F(ParamDispatch, MissingValueIsRefusedExceptForActions) {
  tarvel::SetLowError(true);
  EXPECT_EQ(Set("grab_timeout"), FG_ERR_PARAM_VALUE);
  const auto printed = tarvel::PrintedMessages();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0].rfind("Trying to set parameter grab_timeout, but no value specified.\n(FGSetParam:", 0),
            0u);
  // Actions need no value; they run.
  EXPECT_EQ(Set("DO_ABORT_GRAB"), kOk);
  EXPECT_EQ(Set("do_abort_capture"), kOk);
}

TEST_F(ParamDispatch, SharedLimitOf32BitValues) {
  tarvel::SetLowError(true);
  EXPECT_EQ(Set("grab_timeout", Value::Int(2147483648LL)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(tarvel::PrintedMessages(),
            std::vector<std::string>{"Value must be less than 0x7fffffff."});
  EXPECT_EQ(Set("grab_timeout", Value::Int(-1)), kOk);
  EXPECT_EQ(Set("trigger_timeout", Value::Int(77)), kOk);
  EXPECT_EQ(Get("continuous_grab_timeout").i, 77);
  EXPECT_EQ(Set("grab_timeout", Value::Double(5.0)), FG_ERR_PARAM_TYPE);
}

TEST_F(ParamDispatch, NumberOfBuffers) {
  EXPECT_EQ(Set("num_buffers", Value::Int(1)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("num_buffers", Value::Str("4")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Set("num_buffers", Value::Int(6)), kOk);
  EXPECT_EQ(Get("num_buffers").i, 6);
  EXPECT_EQ(Set("num_buffers", Value::Int(6)), kOk);
  EXPECT_EQ(Set("num_buffers", Value::Int(2)), kOk);
  EXPECT_EQ(Get("num_buffers").i, 2);
}

TEST_F(ParamDispatch, GoneParametersSayWhy) {
  tarvel::SetLowError(true);
  EXPECT_EQ(Set("long_frames", Value::Int(1)), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(Set("num_simultaneous_cameras", Value::Int(2)), FG_ERR_UNSUPPORTED);
  Get("num_simultaneous_cameras", FG_ERR_UNSUPPORTED);
  const auto printed = tarvel::PrintedMessages();
  ASSERT_EQ(printed.size(), 3u);
  EXPECT_EQ(printed[0].rfind("Board error: Long frame mode is no longer a valid mode.", 0), 0u);
  EXPECT_EQ(printed[1], "The parameter 'num_simultaneous_cameras' is no longer supported.");
}

TEST_F(ParamDispatch, ValueListsAndFlags) {
  const auto resnap = GetAll("resnap_values");
  ASSERT_EQ(resnap.size(), 2u);
  EXPECT_EQ(resnap[0].s, "true");
  EXPECT_EQ(resnap[1].s, "false");
  const auto none = GetAll("do_force_trigger_values");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].i, -1);
  EXPECT_EQ(GetAll("dma_direction_values").at(1).s, "bottom-up");
  // Without the fine timer the read succeeds with no value at all.
  const auto ticks = GetAll("ticks_per_second");
  if constexpr (kProfile.has_fine_rate) {
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_GT(ticks[0].d, 0.0);
  } else {
    EXPECT_TRUE(ticks.empty());
  }
  EXPECT_EQ(Get("show_internal_errors").s, "true");
  EXPECT_EQ(Set("show_internal_errors", Value::Str("FALSE")), kOk);
  EXPECT_EQ(Get("show_internal_errors").s, "false");
  EXPECT_EQ(Set("debug_output", Value::Str("true")), kOk);
  EXPECT_EQ(Get("start_async_after_grab_async").s, "enable");
  EXPECT_EQ(Get("volatile").s, "disable");
  EXPECT_EQ(Get("wait_frame_exposure_timeout").i, 1000);
}

}  // namespace
}  // namespace grabline

namespace grabline {
namespace {

// Every name the plug-in lists reaches a branch of set or get: neither
// answers "unknown" for both.
TEST_F(ParamDispatch, EveryListedNameReachesItsBranch) {
  const auto listed = plugin_->Query(4);
  ASSERT_EQ(listed.result, kOk);
  int checked = 0;
  for (const auto &value : listed.values) {
    const std::string &name = value.s;
    // Families carry a number or register name; "gone" parameters refuse
    // both ways; block reads refuse until a read size is set; the firmware
    // names come with their feature.
    if (name.find(':') != std::string::npos || name == "num_simultaneous_cameras" ||
        name.rfind("comm_read_", 0) == 0 || name.find("firmware") != std::string::npos) {
      continue;
    }
    const Terr set = instance_->SetParam(name, Value::Str("?"));
    std::vector<Value> values(1);
    const Terr get = instance_->GetParam(name, &values);
    EXPECT_FALSE(set == FG_ERR_UNSUPPORTED && get == FG_ERR_UNSUPPORTED) << name;
    ++checked;
  }
  EXPECT_GT(checked, 40);
}

}  // namespace
}  // namespace grabline
