// The SDK layer's call gate (counts, injected faults, the call record) and
// the diagnostics and time calls.
#include <cstring>

#include "sim_fixture.hpp"

namespace bfsim_test {
namespace {

using SimCalls = SimTest;

TEST_F(SimCalls, FaultHitsExactlyTheChosenCall) {
  uint32_t count = 0;
  ASSERT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, &count), BF_OK);
  bfsim::FailCall("CiSysBrdEnum", 2, 0x1234);
  count = 77;
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, &count), BF_OK);
  EXPECT_EQ(count, 1u);
  count = 77;
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, &count), 0x1234u);
  EXPECT_EQ(count, 77u);  // the faulted call did nothing
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, &count), BF_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(bfsim::CallCount("CiSysBrdEnum"), 4u);
  EXPECT_EQ(bfsim::CallCount("CiBrdOpen"), 0u);
}

TEST_F(SimCalls, FaultedOpenLeavesTheBoardClosed) {
  CiENTRY entry;
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  bfsim::FailCall("CiBrdOpen", 1, BF_ERR_BRD_HELD);
  Bd board = nullptr;
  EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_ERR_BRD_HELD);
  EXPECT_EQ(board, nullptr);
  EXPECT_FALSE(bfsim::Boards()[0].open);
  EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_OK);
  EXPECT_TRUE(bfsim::Boards()[0].open);
}

TEST_F(SimCalls, FaultsOnValueReturningAndSilentCalls) {
  Bd board = Open();
  bfsim::FailCall("BFRegPeek", 1, 0xCAFE);
  bfsim::FailCall("BFIsR64", 1, 0);
  bfsim::FailCall("BFOutputDebugString", 1, 0);
  EXPECT_EQ(BFRegPeek(board, 17), 0xCAFEu);
  EXPECT_EQ(BFRegPeek(board, 17), 0u);
  EXPECT_EQ(BFIsR64(board), 0u);
  EXPECT_EQ(BFIsR64(board), 1u);
  BFOutputDebugString("swallowed\n");
  BFOutputDebugString("kept\n");
  EXPECT_EQ(bfsim::DebugOutput(), std::vector<std::string>{"kept\n"});
}

TEST_F(SimCalls, SeveralFaultsAndClearing) {
  bfsim::FailCall("BFDrvReady", 1, 1);
  bfsim::FailCall("BFDrvReady", 3, 3);
  bfsim::FailCall("BFDrvReady", 0, 9);  // no call is the 0th
  EXPECT_EQ(BFDrvReady(1), 1u);
  EXPECT_EQ(BFDrvReady(1), BF_OK);
  EXPECT_EQ(BFDrvReady(1), 3u);
  EXPECT_EQ(BFDrvReady(1), BF_OK);
  bfsim::FailCall("BFDrvReady", 1, 5);
  bfsim::ClearFaults();
  EXPECT_EQ(BFDrvReady(1), BF_OK);
  bfsim::FailCall("BFDrvReady", 1, 5);
  bfsim::Reset();
  EXPECT_EQ(bfsim::CallCount("BFDrvReady"), 0u);
  EXPECT_EQ(BFDrvReady(1), BF_OK);
}

TEST_F(SimCalls, RecordKeepsNamesIntegerArgumentsAndResults) {
  Bd board = Open();
  EXPECT_TRUE(bfsim::TakeCalls().empty());  // off by default
  bfsim::RecordCalls(true);
  uint32_t value = 0;
  CiBrdInquire(board, BF_INQ_YSIZE, &value);
  BFRegRMW(board, 24, 0x800000, 0x800000);
  CiConVTrigModeSet(board, 3, 11, 13, 13);
  bfsim::FailCall("CiBrdCamSel", 1, 0x77);
  CiBrdCamSel(board, 1, 1);
  std::vector<bfsim::Call> calls = bfsim::TakeCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].function, "CiBrdInquire");
  EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{BF_INQ_YSIZE}));
  EXPECT_EQ(calls[0].result, BF_OK);
  EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{24, 0x800000, 0x800000}));
  EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{3, 11, 13, 13}));
  EXPECT_EQ(calls[3].function, "CiBrdCamSel");
  EXPECT_EQ(calls[3].result, 0x77u);
  EXPECT_TRUE(bfsim::TakeCalls().empty());

  BFRegPeek(board, 1);
  CiBrdClose(board);
  EXPECT_EQ(bfsim::TakeCallNames(), (std::vector<std::string>{"BFRegPeek", "CiBrdClose"}));
  bfsim::RecordCalls(false);
  BFRegPeek(board, 1);
  EXPECT_TRUE(bfsim::TakeCalls().empty());
}

TEST_F(SimCalls, ErrorDisplayAndDebugOutputAreLogged) {
  Load("family=Raven model=A\nfamily=R64 model=B\n");
  Bd board = Open(CISYS_TYPE_R64);
  BFErrorShow(board);
  BFErrorShow(nullptr);
  EXPECT_EQ(bfsim::ErrorShows(), std::vector<uint32_t>{1});
  BFOutputDebugString("Starting CG thread\n");
  BFOutputDebugString(nullptr);
  EXPECT_EQ(bfsim::DebugOutput(), std::vector<std::string>{"Starting CG thread\n"});
  bfsim::ClearLogs();
  EXPECT_TRUE(bfsim::DebugOutput().empty());
  EXPECT_TRUE(bfsim::ErrorShows().empty());
}

TEST_F(SimCalls, SprintfIsBoundedAndReturnsWhatItStored) {
  char buffer[8];
  EXPECT_EQ(BFsprintf(buffer, sizeof buffer, "%s:%d", "ab", 7), 4);
  EXPECT_STREQ(buffer, "ab:7");
  EXPECT_EQ(BFsprintf(buffer, sizeof buffer, "UNKNOWN (code %u)", 7u), 7);
  EXPECT_STREQ(buffer, "UNKNOWN");
  EXPECT_EQ(BFsprintf(nullptr, 8, "x"), -1);
  EXPECT_EQ(BFsprintf(buffer, 0, "x"), -1);
  std::memcpy(buffer, "garbage", 8);
  bfsim::FailCall("BFsprintf", 1, 3);
  EXPECT_EQ(BFsprintf(buffer, sizeof buffer, "x"), 3);
  EXPECT_STREQ(buffer, "");  // terminated even when the work was skipped
}

TEST_F(SimCalls, TicksAreMonotonicAndDeltasHandleWrap) {
  uint64_t first = BFTick();
  uint64_t second = BFTick();
  EXPECT_GE(second, first);
  EXPECT_EQ(BFTickDelta(1000, 1250), 250u);
  EXPECT_EQ(BFTickDelta(0xFFFFFFF0u, 0x10u), 0x20u);  // a 32-bit counter wrapped
  EXPECT_EQ(BFTickDelta(0, 0x100000000ull), UINT32_MAX);
  EXPECT_EQ(BFTickDelta(first, second), second - first);
}

}  // namespace
}  // namespace bfsim_test
