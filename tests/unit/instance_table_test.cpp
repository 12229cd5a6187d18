// The instance table behind FGInit and FGAllocInstance.
#include <gtest/gtest.h>

#include <memory>

#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"
#include "plugin/result_codes.hpp"

extern "C" Terr FGInit(Tproc_handle, TFgClass *);

namespace grabline {
namespace {

class InstanceTable : public ::testing::Test {
 protected:
  void SetUp() override {
    fg_class_ = std::make_unique<TFgClass>();
    ASSERT_EQ(FGInit(nullptr, fg_class_.get()), FG_OK);
  }
  void TearDown() override {
    for (auto &record : g_instances) record.board = nullptr;
    g_open_instances = 0;
  }
  std::unique_ptr<TFgClass> fg_class_;
  BoardInfo board_{};
};

TEST_F(InstanceTable, InitNumbersEveryRecordAndClearsTheRest) {
  g_instances[3].board = &board_;
  g_instances[3].ring.count = 7;
  g_instances[3].cg.overwrite_method = kOverwriteIgnore;
  ASSERT_EQ(FGInit(nullptr, fg_class_.get()), FG_OK);
  for (uint32_t i = 0; i < kProfile.max_instances; ++i) {
    EXPECT_EQ(g_instances[i].instance_index, i);
    EXPECT_EQ(g_instances[i].board, nullptr);
  }
  EXPECT_EQ(g_instances[3].ring.count, 0u);
  EXPECT_EQ(g_instances[3].cg.overwrite_method, kOverwriteAbort);
  EXPECT_EQ(g_open_instances, 0u);
  EXPECT_EQ(fgClass, fg_class_.get());
}

TEST_F(InstanceTable, AllocSkipsOpenRecordsAndReusesAFreedOne) {
  TFgInstance fginst{};
  g_instances[0].board = &board_;
  g_instances[1].board = &board_;
  EXPECT_EQ(FGAllocInstance(nullptr, &fginst), &fg_class_->instance[2]);
  EXPECT_EQ(fginst.currInst, &g_instances[2]);
  // Instance 0 closes while 1 stays open: its slot is the next one given.
  g_instances[0].board = nullptr;
  EXPECT_EQ(FGAllocInstance(nullptr, &fginst), &fg_class_->instance[0]);
}

TEST_F(InstanceTable, AllocRefusesAtTheInstanceLimitWithoutScanning) {
  TFgInstance fginst{};
  g_open_instances = kProfile.max_instances;
  EXPECT_EQ(FGAllocInstance(nullptr, &fginst), nullptr);
  EXPECT_EQ(fginst.currInst, nullptr);
}

TEST_F(InstanceTable, AllocRefusesWhenEveryRecordIsTaken) {
  TFgInstance fginst{};
  for (auto &record : g_instances) record.board = &board_;
  g_open_instances = kProfile.max_instances - 1;  // the counter alone does not decide
  EXPECT_EQ(FGAllocInstance(nullptr, &fginst), nullptr);
}

TEST_F(InstanceTable, InitWithoutAClassRecordStillSucceeds) {
  EXPECT_EQ(FGInit(nullptr, nullptr), FG_OK);
}

}  // namespace
}  // namespace grabline
