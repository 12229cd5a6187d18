// Frame-done callbacks and the overflow thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/eventually.hpp"
#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using testing::Eventually;
using testing::GrabDelivered;
using testing::PluginTest;

struct Seen {
  std::atomic<int> calls{0};
  std::atomic<void *> instance{nullptr};
};

void Count(void *instance, void *, void *context) {
  auto *seen = static_cast<Seen *>(context);
  seen->instance = instance;
  ++seen->calls;
}

class Callbacks : public PluginTest {
 protected:
  int64_t Counter(tarvel::Instance *instance) {
    std::vector<tarvel::Value> values;
    EXPECT_EQ(instance->GetParam("callback_counter", &values), kOk);
    return values.empty() ? -1 : values[0].i;
  }
};

TEST_F(Callbacks, ThreadedTransferEndOncePerFrameAndOnceMoreAtClose) {
  if constexpr (!kProfile.has_callbacks) GTEST_SKIP() << "the par host has no callbacks";
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  bfsim::SetManualClock(0, true);
  Seen seen;
  ASSERT_EQ(instance->SetCallback("transfer_end", Count, &seen), kOk);
  TFgCallback function = nullptr;
  void *context = nullptr;
  ASSERT_EQ(instance->GetCallback("transfer_end", &function, &context), kOk);
  EXPECT_EQ(function, &Count);
  EXPECT_EQ(context, &seen);
  for (int i = 0; i < 3; ++i) {
    std::vector<tarvel::Image> images;
    ASSERT_EQ(GrabDelivered(instance, &images), kOk);
  }
  EXPECT_TRUE(Eventually([&] { return seen.calls.load() >= 3; }));  // event threads run apart
  EXPECT_EQ(Counter(instance), seen.calls.load());
  // The instance handle is its slot of the class record.
  EXPECT_EQ(seen.instance.load(), static_cast<void *>(&plugin_->fg_class().instance[0]));
  ASSERT_EQ(Close(instance), kOk);
  EXPECT_EQ(seen.calls.load(), 4);
}

TEST_F(Callbacks, UnknownTypesAndEmptySlots) {
  if constexpr (!kProfile.has_callbacks) GTEST_SKIP() << "the par host has no callbacks";
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  Seen seen;
  EXPECT_EQ(instance->SetCallback("frame_end", Count, &seen), FG_ERR_CALLBACK_TYPE);
  TFgCallback function = nullptr;
  void *context = nullptr;
  EXPECT_EQ(instance->GetCallback("Transfer_End", &function, &context), FG_ERR_CALLBACK_TYPE);
  ASSERT_EQ(instance->SetCallback("exposure_end", Count, &seen), kOk);
  ASSERT_EQ(instance->SetCallback("exposure_end", nullptr, &seen), kOk);
  ASSERT_EQ(instance->GetCallback("exposure_end", &function, &context), kOk);
  EXPECT_EQ(function, nullptr);
  std::vector<tarvel::Value> types;
  ASSERT_EQ(instance->GetParam("available_callback_types", &types), kOk);
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0].s, "exposure_end");
  EXPECT_EQ(types[1].s, "transfer_end");
}

TEST_F(Callbacks, ThreadedOverflowThreadCountsOverflows) {
  tarvel::Instance *instance = OpenOk("gray8.cam");
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("overflow_thread", tarvel::Value::Str("enable")), kOk);
  ASSERT_EQ(instance->SetParam("overflow_thread", tarvel::Value::Str("enable")), kOk);
  std::vector<tarvel::Value> values;
  ASSERT_EQ(instance->GetParam("overflow_thread", &values), kOk);
  EXPECT_EQ(values.at(0).s, "enable");
  ASSERT_EQ(instance->SetParam("overflow_count", tarvel::Value::Int(0)), kOk);
  bfsim::InjectOverflow(0);
  auto count = [&] {
    std::vector<tarvel::Value> v;
    instance->GetParam("overflow_count", &v);
    return v.empty() ? int64_t{-1} : v[0].i;
  };
  EXPECT_TRUE(Eventually([&] { return count() >= 1; }));
  EXPECT_EQ(count(), 1);
  ASSERT_EQ(instance->SetParam("overflow_thread", tarvel::Value::Str("disable")), kOk);
  ASSERT_EQ(instance->SetParam("overflow_thread", tarvel::Value::Str("disable")), kOk);
  ASSERT_EQ(instance->GetParam("overflow_thread", &values), kOk);
  EXPECT_EQ(values.at(0).s, "disable");
  EXPECT_EQ(instance->SetParam("overflow_thread", tarvel::Value::Str("on")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance->SetParam("overflow_thread", tarvel::Value::Int(1)), FG_ERR_PARAM_TYPE);
}

}  // namespace
}  // namespace grabline
