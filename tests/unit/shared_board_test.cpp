// SetInstParam: what it asks of the SDK when instances share a board.
#include <gtest/gtest.h>

#include <cstring>

#include "bfsim_control.hpp"
#include "board/records.hpp"
#include "board/shared_board.hpp"
#include "plugin/result_codes.hpp"
#include "tarvel_host.hpp"

namespace grabline {
namespace {

using Calls = std::vector<std::string>;

class SharedBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    bfsim::Reset();
    CiENTRY entry{};
    ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), 0u);
    ASSERT_EQ(CiBrdOpen(&entry, &board_.handle, 257, "default"), 0u);
    ASSERT_EQ(CiBrdCamGetCur(board_.handle, &record_.camera), 0u);
    std::strcpy(board_.camera_file, "default");
    std::strcpy(record_.camera_file, "default");
    board_.users = 2;
    record_.board = &board_;
    record_.show_error_dlg = 0;
    fginst_.currInst = &record_;
  }
  void TearDown() override {
    bfsim::RecordCalls(false);
    CiBrdClose(board_.handle);
  }
  void SetMode(uint32_t mode) { ASSERT_EQ(CiConVTrigModeSet(board_.handle, mode, 0, 0, 0), 0u); }
  Calls Run(Terr expected = FG_OK) {
    bfsim::RecordCalls(true);
    EXPECT_EQ(SetInstParam(&fginst_), expected);
    bfsim::RecordCalls(false);
    return bfsim::TakeCallNames();
  }
  BoardInfo board_{};
  InstanceRecord record_;
  TFgInstance fginst_{};
};

TEST_F(SharedBoard, AloneOnTheBoardNothingIsAsked) {
  board_.users = 1;
  std::strcpy(board_.camera_file, "another.cam");
  fginst_.external_trigger = 1;
  EXPECT_EQ(Run(), Calls{});
}

TEST_F(SharedBoard, SameCameraOnlyReappliesTheTriggerConnection) {
  EXPECT_EQ(Run(), (Calls{"CiConVTrigModeGet", "CiConExTrigConnect"}));
  bfsim::RecordCalls(true);
  ASSERT_EQ(SetInstParam(&fginst_), FG_OK);
  const auto calls = bfsim::TakeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{1, 20}));
}

TEST_F(SharedBoard, OtherCameraIsMadeCurrentFirst) {
  std::strcpy(board_.camera_file, "another.cam");
  EXPECT_EQ(Run(), (Calls{"CiBrdCamSetCur", "CiConVTrigModeGet", "CiConExTrigConnect"}));
  EXPECT_STREQ(board_.camera_file, "default");
}

TEST_F(SharedBoard, ExternalTriggerSwitchesFreeRunningCamerasToTriggeredMode) {
  fginst_.external_trigger = 1;
  SetMode(0);
  bfsim::RecordCalls(true);
  ASSERT_EQ(SetInstParam(&fginst_), FG_OK);
  const auto calls = bfsim::TakeCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].function, "CiConExTrigConnect");
  EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{1, 19}));
  EXPECT_EQ(calls[2].function, "CiConVTrigModeSet");
  EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{3, 11, 13, 13}));
  EXPECT_EQ(record_.oneshot_mode, 0);
}

TEST_F(SharedBoard, OneShotModesKeepTheirMode) {
  fginst_.external_trigger = 1;
  SetMode(6);
  EXPECT_EQ(Run(), (Calls{"CiConVTrigModeGet", "CiConExTrigConnect"}));
  EXPECT_EQ(record_.oneshot_mode, 0);
  SetMode(2);
  EXPECT_EQ(Run(), (Calls{"CiConVTrigModeGet", "CiConExTrigConnect"}));
  EXPECT_EQ(record_.oneshot_mode, 1);
}

TEST_F(SharedBoard, SdkErrorsGiveBoardErrorAndKeepWhatWasDone) {
  std::strcpy(board_.camera_file, "another.cam");
  bfsim::FailCall("CiConVTrigModeGet", 1, 7);
  EXPECT_EQ(Run(FG_ERR_BOARD), (Calls{"CiBrdCamSetCur", "CiConVTrigModeGet"}));
  EXPECT_STREQ(board_.camera_file, "default");

  std::strcpy(board_.camera_file, "another.cam");
  bfsim::FailCall("CiBrdCamSetCur", 1, 7);
  EXPECT_EQ(Run(FG_ERR_BOARD), Calls{"CiBrdCamSetCur"});
  EXPECT_STREQ(board_.camera_file, "another.cam");

  fginst_.external_trigger = 1;
  bfsim::FailCall("CiConVTrigModeSet", 1, 7);
  EXPECT_EQ(Run(FG_ERR_BOARD),
            (Calls{"CiBrdCamSetCur", "CiConVTrigModeGet", "CiConExTrigConnect", "CiConVTrigModeSet"}));
}

TEST_F(SharedBoard, UnopenedInstanceIsRefused) {
  TFgInstance unbound{};
  EXPECT_EQ(SetInstParam(&unbound), FG_ERR_BOARD);
  EXPECT_EQ(SetInstParam(nullptr), FG_ERR_BOARD);
}

}  // namespace
}  // namespace grabline
