// The LUT through the class operations and the parameter 'lut', and the
// control table fill.
#include <gtest/gtest.h>

#include <numeric>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

std::vector<int64_t> Table(size_t n, int64_t first, int64_t step = 1) {
  std::vector<int64_t> table(n);
  for (size_t i = 0; i < n; ++i) table[i] = first + static_cast<int64_t>(i) * step;
  return table;
}

std::vector<bfsim::Call> CallsOf(const std::string &function) {
  std::vector<bfsim::Call> calls = bfsim::TakeCalls();
  std::erase_if(calls, [&](const bfsim::Call &c) { return c.function != function; });
  return calls;
}

class Lut : public PluginTest {
 protected:
  // Board 0 is an R64, board 1 a Raven (not an R64: block writes).
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_EQ(bfsim::LoadSystem("family=R64 model=A kinds=cl\nfamily=Raven model=R\n"), "");
  }
  // Bank `bank` of `board`'s LUT from `start`, `count` entries.
  static std::vector<int64_t> Bank(uint32_t board, uint32_t bank, size_t start, size_t count) {
    const std::vector<uint16_t> lut = bfsim::LutBank(board, bank);
    return std::vector<int64_t>(lut.begin() + static_cast<std::ptrdiff_t>(start),
                                lut.begin() + static_cast<std::ptrdiff_t>(start + count));
  }
};

TEST_F(Lut, Gray10BitOffR64IsWrittenFourTimesAndReadBack) {
  tarvel::Instance *instance = OpenOn("Raven:0", "gray10.cam");
  ASSERT_NE(instance, nullptr);
  const std::vector<int64_t> gray = Table(1024, 1023, -1);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->SetLut(gray, gray, gray), kOk);
  const std::vector<bfsim::Call> writes = CallsOf("CiLutWrite");
  ASSERT_EQ(writes.size(), 4u);
  for (uint32_t k = 0; k < 4; ++k) {
    // lut type, bank set, mask, start, count, entry bytes
    EXPECT_EQ(writes[k].args, (std::vector<uint64_t>{2, 0, 3, k * 1024, 1024, 2}));
    for (uint32_t bank : {0u, 1u}) EXPECT_EQ(Bank(1, bank, k * 1024, 1024), gray);
  }
  std::vector<int64_t> red, green, blue;
  ASSERT_EQ(instance->GetLut(&red, &green, &blue), kOk);
  EXPECT_EQ(red, gray);
  EXPECT_EQ(green, gray);
  EXPECT_EQ(blue, gray);
}

TEST_F(Lut, ShortTablesAreRefusedBeforeAnyWrite) {
  tarvel::Instance *raven = OpenOn("Raven:0", "gray8.cam");
  tarvel::Instance *r64 = OpenOn("R64:0", "gray10.cam");
  ASSERT_NE(raven, nullptr);
  ASSERT_NE(r64, nullptr);
  bfsim::RecordCalls(true);
  const std::vector<int64_t> short8 = Table(255, 0);
  EXPECT_EQ(raven->SetLut(short8, short8, short8), FG_ERR_LUT_LENGTH);
  const std::vector<int64_t> short10 = Table(1023, 0);
  EXPECT_EQ(r64->SetLut(short10, short10, short10), FG_ERR_LUT_LENGTH);
  EXPECT_TRUE(CallsOf("CiLutWrite").empty());
  EXPECT_EQ(bfsim::CallCount("CiLutPoke"), 0u);

  // 8 bits off R64: one block of bytes with mask 15; a longer table is cut
  // to the block.
  const std::vector<int64_t> long8 = Table(300, 0x100);
  ASSERT_EQ(raven->SetLut(long8, long8, long8), kOk);
  const std::vector<bfsim::Call> writes = CallsOf("CiLutWrite");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].args, (std::vector<uint64_t>{1, 0, 15, 0, 256, 1}));
  EXPECT_EQ(Bank(1, 3, 0, 3), (std::vector<int64_t>{0, 1, 2}));  // the low 8 bits
}

TEST_F(Lut, R64WritesAndReadsEntryByEntry) {
  tarvel::Instance *gray = OpenOn("R64:0", "gray10.cam");
  ASSERT_NE(gray, nullptr);
  const std::vector<int64_t> table = Table(1024, 5, 3);
  ASSERT_EQ(gray->SetLut(table, table, table), kOk);
  EXPECT_EQ(bfsim::CallCount("CiLutPoke"), 1024u);
  EXPECT_EQ(Bank(0, 1, 0, 1024), table);  // mask 3: red and green banks
  std::vector<int64_t> red, green, blue;
  ASSERT_EQ(gray->GetLut(&red, &green, &blue), kOk);
  EXPECT_EQ(red, table);
  EXPECT_EQ(blue, table);
  ASSERT_EQ(Close(gray), kOk);

  tarvel::Instance *colour = OpenOn("R64:0", "rgb24.cam");
  ASSERT_NE(colour, nullptr);
  const std::vector<int64_t> r = Table(256, 0), g = Table(256, 1000), b = Table(256, 2000);
  ASSERT_EQ(colour->SetLut(r, g, b), kOk);
  ASSERT_EQ(colour->GetLut(&red, &green, &blue), kOk);
  EXPECT_EQ(red, r);
  EXPECT_EQ(green, g);
  EXPECT_EQ(blue, b);
  // A refused poke stops the write with the LUT code.
  bfsim::FailCall("CiLutPoke", 10, BF_ERR_BAD_ARG);
  EXPECT_EQ(colour->SetLut(r, g, b), FG_ERR_LUT_UNSUPPORTED);
}

TEST_F(Lut, ColourOffR64UsesOneBlockPerChannel) {
  tarvel::Instance *instance = OpenOn("Raven:0", "rgb30.cam");
  ASSERT_NE(instance, nullptr);
  // Blocks of bytes, whatever the depth.
  const std::vector<int64_t> r = Table(256, 0), g = Table(256, 255, -1), b = Table(256, 0x300);
  const std::vector<int64_t> b_low = Table(256, 0);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance->SetLut(r, g, b), kOk);
  std::vector<uint64_t> masks;
  for (const bfsim::Call &call : CallsOf("CiLutWrite")) masks.push_back(call.args.at(2));
  EXPECT_EQ(masks, (std::vector<uint64_t>{1, 2, 12}));
  EXPECT_EQ(Bank(1, 3, 0, 256), b_low);
  std::vector<int64_t> red, green, blue;
  ASSERT_EQ(instance->GetLut(&red, &green, &blue), kOk);
  EXPECT_EQ(red, r);
  EXPECT_EQ(green, g);
  EXPECT_EQ(blue, b_low);
  EXPECT_EQ(instance->SetLut(Table(255, 0), Table(255, 0), Table(255, 0)), FG_ERR_LUT_LENGTH);
}

TEST_F(Lut, BoardsWithoutLutRefuse) {
  ASSERT_EQ(bfsim::LoadSystem("family=Raven model=R lut=no\n"), "");
  tarvel::Instance *instance = OpenOn("Raven:0", "gray8.cam");
  ASSERT_NE(instance, nullptr);
  const std::vector<int64_t> table = Table(256, 0);
  EXPECT_EQ(instance->SetLut(table, table, table), FG_ERR_LUT_UNSUPPORTED);
  std::vector<int64_t> red, green, blue;
  EXPECT_EQ(instance->GetLut(&red, &green, &blue), FG_ERR_LUT_UNSUPPORTED);
  EXPECT_EQ(bfsim::CallCount("CiLutWrite") + bfsim::CallCount("CiLutRead"), 0u);
}

TEST_F(Lut, SwitchingTheLut) {
  tarvel::Instance *r64 = OpenOn("R64:0", "gray8.cam");
  tarvel::Instance *raven = OpenOn("Raven:0", "gray8.cam");
  ASSERT_NE(r64, nullptr);
  ASSERT_NE(raven, nullptr);
  auto get = [](tarvel::Instance *instance) {
    std::vector<Value> values;
    EXPECT_EQ(instance->GetParam("lut", &values), kOk);
    return values.empty() ? std::string() : values[0].s;
  };
  const uint32_t reg = kProfile.reg.lut_switch;
  EXPECT_EQ(get(r64), "disable");
  // R64 boards select bit 23 (register bit 26 set), Ravens bit 15.
  ASSERT_EQ(r64->SetParam("lut", Value::Str("Enable")), kOk);
  ASSERT_EQ(raven->SetParam("lut", Value::Str("enable")), kOk);
  EXPECT_EQ(bfsim::PeekRegister(0, reg) & 0x808000u, 0x800000u);
  EXPECT_EQ(bfsim::PeekRegister(1, reg) & 0x808000u, 0x8000u);
  EXPECT_EQ(get(r64), "enable");
  ASSERT_EQ(r64->SetParam("lut", Value::Str("disable")), kOk);
  EXPECT_EQ(bfsim::PeekRegister(0, reg) & 0x800000u, 0u);
  EXPECT_EQ(r64->SetParam("lut", Value::Str("on")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(r64->SetParam("lut", Value::Int(1)), FG_ERR_PARAM_TYPE);
  bfsim::FailCall("BFRegRMW", 1, BF_ERR_BAD_ARG);
  EXPECT_EQ(r64->SetParam("lut", Value::Str("enable")), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(get(r64), "disable");
}

TEST_F(Lut, Gn2LutSwitchIsLeftAlone) {
  if (!kProfile.has_gn2) GTEST_SKIP() << "no Gn2 boards in this build";
  ASSERT_EQ(bfsim::LoadSystem("family=Gn2 model=G\n"), "");
  tarvel::Instance *instance = OpenOn("GN2:0", "gray8.cam");
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("lut", Value::Str("enable")), kOk);
  std::vector<Value> values;
  ASSERT_EQ(instance->GetParam("lut", &values), kOk);
  EXPECT_EQ(values.at(0).s, "disable");
  EXPECT_EQ(bfsim::PeekRegister(0, kProfile.reg.lut_switch), 0u);
}

class CtabFill : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    instance_ = OpenOk();
    ASSERT_NE(instance_, nullptr);
    tarvel::SetLowError(true);
  }
  Terr Fill(const std::string &text) { return instance_->SetParam("ctab_fill", Value::Str(text)); }
  tarvel::Instance *instance_ = nullptr;
};

TEST_F(CtabFill, FillsTheRangeItNames) {
  ASSERT_EQ(Fill("index 0:num_entries 16:mask ffff:value 1"), kOk);
  ASSERT_EQ(Fill("value 0x20:mask 0xF0::index 8:num_entries2:index 4"), kOk);  // later wins
  const std::vector<uint16_t> ctab = bfsim::ControlTable(0);
  EXPECT_EQ(std::vector<uint16_t>(ctab.begin(), ctab.begin() + 8),
            (std::vector<uint16_t>{1, 1, 1, 1, 0x21, 0x21, 1, 1}));
  EXPECT_EQ(ctab[16], 0u);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(CtabFill, RefusalsAndTheirMessages) {
  EXPECT_EQ(Fill("mask 10000"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Fill("index 0:num_entries 1:mask ff:value 10000"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{
                "The mask being use is greater than 16-bits. Please use a 16-bit mask.",
                "The value being use is greater than 16-bits. Please use a 16-bit value."}));
  tarvel::ClearLogs();
  EXPECT_EQ(Fill("index 0:num_entries 1:mask ff"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Fill("index 4294967296:num_entries 1:mask ff:value 1"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Fill("index -1:num_entries 1:mask ff:value 1"), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Fill(":::"), FG_ERR_PARAM_VALUE);
  // Longer than the working copy: refused, not cut.
  EXPECT_EQ(Fill("index 0:num_entries 1:mask ff:value 1:" + std::string(1000, 'x')),
            FG_ERR_PARAM_VALUE);
  EXPECT_EQ(instance_->SetParam("ctab_fill", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
  EXPECT_EQ(bfsim::CallCount("CiCTabFill"), 0u);
  EXPECT_EQ(Fill("index 16380:num_entries 5:mask 1:value 1"), FG_ERR_OPERATION_FAILED);
  EXPECT_EQ(tarvel::PrintedMessages(), std::vector<std::string>{"The Ctab fill function failed."});
}

}  // namespace
}  // namespace grabline
