// The multi-camera stitching share: roles, numbers, the section name, and
// the section itself as the auxiliary instances map it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/records.hpp"
#include "support/plugin_fixture.hpp"
#include "support/test_os.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

constexpr const char *kSetNames[] = {"multi_cam_stitch_set_main",    "multi_cam_stitch_buffer_lock",
                                     "multi_cam_stitch_set_num",     "multi_cam_stitch_set_aux",
                                     "multi_cam_stitch_set_aux_num", "multi_cam_stitch_share_name"};

using testing::SectionExists;
using testing::SectionViews;

class StitchShare : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (!kProfile.has_stitch_share) GTEST_SKIP() << "the share is part of the xl build only";
    // Three boards; the third one found by a switch and a connector unique to
    // this process, so that its section name meets no other test run.
    connector_ = static_cast<uint32_t>(::grabline::testing::ProcessId());
    ASSERT_EQ(bfsim::LoadSystem("family=R64 model=A\nfamily=R64 model=B\nfamily=R64 model=C "
                                "switch=9 connector=" +
                                std::to_string(connector_) + "\n"),
              "");
    tarvel::SetLowError(true);
  }
  void TearDown() override {
    if (kProfile.has_stitch_share) {
      EXPECT_TRUE(tarvel::PrintedMessages().empty());
    }
    PluginTest::TearDown();
  }
  static InstanceRecord &Record(tarvel::Instance *instance) {
    return *static_cast<InstanceRecord *>(instance->record().currInst);
  }
  static Terr ShareName(tarvel::Instance *instance, std::string *name) {
    std::vector<Value> values;
    const Terr result = instance->GetParam("multi_cam_stitch_share_name", &values);
    if (result == kOk) *name = values.at(0).s;
    return result;
  }
  // An auxiliary instance with `name` and a number, not yet locked.
  static void MakeAuxiliary(tarvel::Instance *instance, const std::string &name) {
    ASSERT_EQ(instance->SetParam("multi_cam_stitch_set_aux", Value::Int(1)), kOk);
    ASSERT_EQ(instance->SetParam("multi_cam_stitch_set_aux_num", Value::Int(1)), kOk);
    ASSERT_EQ(instance->SetParam("multi_cam_stitch_share_name", Value::Str(name)), kOk);
  }
  uint32_t connector_ = 0;
};

TEST(StitchShareOtherBuilds, NamesAreUnknown) {
  if (kProfile.has_stitch_share) GTEST_SKIP() << "the xl build has the share";
  bfsim::Reset();
  auto plugin = testing::LoadPlugin();
  ASSERT_NE(plugin, nullptr);
  Terr code = 0;
  auto instance = plugin->Open(plugin->Defaults(), &code);
  ASSERT_EQ(code, kOk);
  for (const char *name : kSetNames) {
    EXPECT_EQ(instance->SetParam(name, Value::Int(1)), FG_ERR_UNSUPPORTED) << name;
  }
  std::vector<Value> values;
  EXPECT_EQ(instance->GetParam("multi_cam_stitch_share_name", &values), FG_ERR_UNSUPPORTED);
  EXPECT_EQ(instance->Close(), kOk);
}

TEST_F(StitchShare, MainRoleNamesTheSectionAfterTheDevice) {
  tarvel::Instance *main = OpenOn("R64:0");
  ASSERT_NE(main, nullptr);
  std::string name;
  EXPECT_EQ(ShareName(main, &name), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(main->SetParam("multi_cam_stitch_set_num", Value::Int(3)), FG_ERR_PARAM_TYPE);
  ASSERT_EQ(main->SetParam("multi_cam_stitch_set_main", Value::Int(1)), kOk);
  EXPECT_EQ(main->SetParam("multi_cam_stitch_set_main", Value::Int(1)), FG_ERR_PARAM_TYPE);
  ASSERT_EQ(ShareName(main, &name), kOk);
  EXPECT_EQ(name, "TarvelSharedR64:0");
  EXPECT_EQ(main->SetParam("multi_cam_stitch_set_num", Value::Int(0x100000003)), kOk);
  EXPECT_EQ(Record(main).stitch.num, 3u);  // the low 32 bits

  ASSERT_EQ(main->SetParam("multi_cam_stitch_set_main", Value::Int(0)), kOk);
  EXPECT_EQ(ShareName(main, &name), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(main->SetParam("multi_cam_stitch_set_main", Value::Int(1)), kOk);
  EXPECT_EQ(main->SetParam("multi_cam_stitch_set_main", Value::Str("1")), FG_ERR_PARAM_TYPE);
  // The main role does not lock; neither does it keep an auxiliary from it.
  EXPECT_EQ(main->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(main->SetParam("multi_cam_stitch_set_aux", Value::Int(1)), kOk);
  EXPECT_EQ(main->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Record(main).stitch.mapping, nullptr);
}

TEST_F(StitchShare, AuxiliaryNumberAndName) {
  tarvel::Instance *aux = OpenOn("R64:1");
  ASSERT_NE(aux, nullptr);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_set_aux_num", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_share_name", Value::Str("x")), FG_ERR_PARAM_TYPE);
  ASSERT_EQ(aux->SetParam("multi_cam_stitch_set_aux", Value::Int(7)), kOk);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_set_aux_num", Value::Int(2)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_set_aux_num", Value::Int(1)), kOk);
  EXPECT_EQ(Record(aux).stitch.num, 1u);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_set_aux_num", Value::Int(-5)), kOk);
  EXPECT_EQ(Record(aux).stitch.num, static_cast<uint32_t>(-5));
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_set_aux_num", Value::Double(1)), FG_ERR_PARAM_TYPE);

  // The name field holds 127 characters: a longer name is refused whole.
  const std::string longest(127, 'n');
  ASSERT_EQ(aux->SetParam("multi_cam_stitch_share_name", Value::Str(longest)), kOk);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_share_name", Value::Str(longest + "n")),
            FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Record(aux).stitch.share_name, longest);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_share_name", Value::Int(1)), FG_ERR_PARAM_TYPE);
  std::string name;
  EXPECT_EQ(ShareName(aux, &name), FG_ERR_PARAM_TYPE);  // only the main answers

  ASSERT_EQ(aux->SetParam("multi_cam_stitch_set_aux", Value::Int(0)), kOk);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_set_aux_num", Value::Int(1)), FG_ERR_PARAM_TYPE);
}

TEST_F(StitchShare, LocksThatCannotMapAreRefused) {
  tarvel::Instance *aux = OpenOn("R64:1");
  ASSERT_NE(aux, nullptr);
  ASSERT_EQ(aux->SetParam("multi_cam_stitch_set_aux", Value::Int(1)), kOk);
  // Never given a name: no section to map.
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), FG_ERR_PARAM_TYPE);
  ASSERT_EQ(aux->SetParam("multi_cam_stitch_share_name", Value::Str("Tarvel/Shared")), kOk);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_buffer_lock", Value::Str("1")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Record(aux).stitch.mapping, nullptr);
  EXPECT_EQ(Record(aux).stitch.locked, 0);
  EXPECT_EQ(aux->SetParam("multi_cam_stitch_buffer_lock", Value::Int(0)), kOk);
}

// The typical set-up: a main instance names the section, two auxiliary
// instances on other boards lock it and see each other's bytes. Relocking
// replaces the view, unlocking drops it, and once the last holder closes
// nothing is mapped and the section is gone.
TEST_F(StitchShare, AuxiliariesShareTheMainsSection) {
  tarvel::Instance *main = OpenOn("Switch:9,Connector:" + std::to_string(connector_));
  tarvel::Instance *first = OpenOn("R64:0");
  tarvel::Instance *second = OpenOn("R64:1");
  ASSERT_TRUE(main != nullptr && first != nullptr && second != nullptr);
  ASSERT_EQ(main->SetParam("multi_cam_stitch_set_main", Value::Int(1)), kOk);
  ASSERT_EQ(main->SetParam("multi_cam_stitch_set_num", Value::Int(2)), kOk);
  std::string name;
  ASSERT_EQ(ShareName(main, &name), kOk);
  ASSERT_EQ(name, "TarvelSharedSwitch:9,Connector:" + std::to_string(connector_));
  ASSERT_FALSE(SectionExists(name));

  MakeAuxiliary(first, name);
  MakeAuxiliary(second, name);
  ASSERT_EQ(first->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), kOk);
  ASSERT_EQ(second->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), kOk);
  EXPECT_TRUE(SectionExists(name));
  EXPECT_TRUE(testing::SectionHolds(name, 468));
  EXPECT_EQ(SectionViews(name), 2);
  EXPECT_EQ(Record(first).stitch.locked, 1);

  auto *a = static_cast<unsigned char *>(Record(first).stitch.view);
  auto *b = static_cast<unsigned char *>(Record(second).stitch.view);
  ASSERT_TRUE(a != nullptr && b != nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a[467], 0);
  a[0] = 0x5a;
  b[467] = 0xa5;
  EXPECT_EQ(b[0], 0x5a);
  EXPECT_EQ(a[467], 0xa5);

  // Locking again while locked keeps one mapping, of the same section.
  ASSERT_EQ(first->SetParam("multi_cam_stitch_buffer_lock", Value::Int(1)), kOk);
  EXPECT_EQ(SectionViews(name), 2);
  a = static_cast<unsigned char *>(Record(first).stitch.view);
  EXPECT_EQ(a[467], 0xa5);

  ASSERT_EQ(first->SetParam("multi_cam_stitch_buffer_lock", Value::Int(0)), kOk);
  EXPECT_EQ(Record(first).stitch.view, nullptr);
  EXPECT_EQ(Record(first).stitch.mapping, nullptr);
  EXPECT_EQ(Record(first).stitch.locked, 0);
  EXPECT_EQ(SectionViews(name), 1);
  EXPECT_TRUE(SectionExists(name));  // the second instance still holds it

  ASSERT_EQ(Close(second), kOk);
  EXPECT_EQ(SectionViews(name), 0);
  EXPECT_FALSE(SectionExists(name));
  // Closing the main instance does not need the section at all.
  EXPECT_EQ(Close(main), kOk);
}

}  // namespace
}  // namespace grabline
