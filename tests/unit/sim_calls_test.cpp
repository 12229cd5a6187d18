// The SDK layer's call gate (counts, injected faults, the call record) and
// the diagnostics and time calls.
#include <atomic>
#include <cstring>
#include <thread>
#include <utility>

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
  EXPECT_TRUE(calls[0].returned);
  EXPECT_EQ(calls[0].thread, bfsim::ThisThreadId());
  EXPECT_EQ(calls[3].sequence, bfsim::TotalCallCount());
  EXPECT_EQ(calls[2].sequence + 1, calls[3].sequence);
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

using Named = std::vector<std::pair<std::string, std::string>>;

// The log's functions and the records they name; empties the log.
Named TakeNamed() {
  Named named;
  for (const bfsim::Call &call : bfsim::TakeCalls()) named.emplace_back(call.function, call.record);
  return named;
}

// Each entry names the record its call works on, counted since Reset().
TEST_F(SimCalls, EntriesNameSignalsQTabsCamerasAndBoards) {
  Load("family=R64 model=A\nfamily=R64 model=B\n");
  Bd board = Open(CISYS_TYPE_R64, 1);
  CiSIGNAL made_before{}, frames{}, exposure{};
  ASSERT_EQ(CiSignalCreate(board, 4, &made_before), BF_OK);  // numbered while not recording too
  CiCam camera = nullptr;
  ASSERT_EQ(CiBrdCamGetCur(board, &camera), BF_OK);
  bfsim::RecordCalls(true);
  CiENTRY entry;
  Bd other = nullptr;
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  EXPECT_EQ(CiBrdOpenCam(&entry, &other, 257, "missing.cam"), BF_ERR_NO_CAMERA);
  ASSERT_EQ(CiBrdOpen(&entry, &other, 257, "default"), BF_OK);
  ASSERT_EQ(CiSignalCreate(board, 4, &frames), BF_OK);
  ASSERT_EQ(CiSignalCreate(board, 5, &exposure), BF_OK);
  CiSignalWait(board, &exposure, 0, nullptr);
  CiSignalCancel(board, &made_before);
  uint8_t memory[2][64 * 48];
  RQTabHeadRec first{}, second{};
  RQTabHeadPtr chain[] = {&first, &second};
  ASSERT_EQ(CiRelQTabCreate(board, camera, memory[0], sizeof memory[0], 64, &first, 3, 0, 1, 2, 0),
            BF_OK);
  ASSERT_EQ(CiRelQTabCreate(board, camera, memory[1], sizeof memory[1], 64, &second, 3, 0, 1, 2, 0),
            BF_OK);
  CiPhysQTabChainLink(board, chain, 2);
  CiPhysQTabChainEngage(board, chain, 0);
  CiRelQTabFree(board, &second);
  BFRegPeek(board, 1);
  BFRegPeek(other, 1);
  BFRegPeek(nullptr, 1);

  const Named expected = {
      {"CiSysBrdFind", ""},
      {"CiBrdOpenCam", "missing.cam"},
      {"CiBrdOpen", "default"},
      {"CiSignalCreate", "sig#2:4"},
      {"CiSignalCreate", "sig#3:5"},
      {"CiSignalWait", "sig#3:5"},
      {"CiSignalCancel", "sig#1:4"},
      {"CiRelQTabCreate", "qtab#1"},
      {"CiRelQTabCreate", "qtab#2"},
      {"CiPhysQTabChainLink", "qtab#1,qtab#2"},
      {"CiPhysQTabChainEngage", "qtab#1"},
      {"CiRelQTabFree", "qtab#2"},
      {"BFRegPeek", "R64:1"},
      {"BFRegPeek", "R64:0"},
      {"BFRegPeek", ""},
  };
  EXPECT_EQ(TakeNamed(), expected);

  // A failed create names nothing; after Reset() the old records are unknown.
  bfsim::FailCall("CiSignalCreate", 1, BF_ERR_BAD_ARG);
  CiSIGNAL refused{};
  CiSignalCreate(board, 4, &refused);
  EXPECT_EQ(bfsim::TakeCalls().at(0).record, "");
  bfsim::Reset();
  bfsim::RecordCalls(true);
  CiSignalWait(board, &frames, 0, nullptr);
  CiPhysQTabFree(board, &first);
  EXPECT_EQ(TakeNamed(), (Named{{"CiSignalWait", "sig#?"}, {"CiPhysQTabFree", "qtab#?"}}));
}

// The bytes a call hands over, and those a serial read hands back.
TEST_F(SimCalls, PayloadsAreTheBytesHandedOver) {
  Bd board = Open();
  void *serial = nullptr;
  ASSERT_EQ(clBFSerialInitFromBoardHandle(board, &serial), CL_ERR_NO_ERR);
  uint8_t lut_type = 0;
  ASSERT_EQ(CiLutSetMask(board, 10, &lut_type), BF_OK);
  bfsim::RecordCalls(true);
  uint32_t size = 4;
  ASSERT_EQ(clSerialWrite(serial, "ID?\r", &size, 1000), CL_ERR_NO_ERR);
  char answer[18];
  size = sizeof answer;
  ASSERT_EQ(clSerialRead(serial, answer, &size, 1000), CL_ERR_NO_ERR);
  const uint8_t block[] = {0x01, 0x02, 0x03, 0x04};
  ASSERT_EQ(CiLutWrite(board, lut_type, 0, 1, 10, 2, block, 2), BF_OK);
  EXPECT_EQ(CiLutWrite(board, lut_type, 0, 1, 0, 5000, block, 2), BF_ERR_BAD_ARG);  // not read
  ASSERT_EQ(CiLutPoke(board, lut_type, 0, 1, 7, 0x3FF), BF_OK);
  BFFLASHREQUEST request{};
  request.kind = BF_FLASH_KIND_SWITCH;
  std::strcpy(request.file_name, "C:\\fw\\Quad.bfml");
  BFFlashRequest(board, &request);
  BFOutputDebugString("text\n");
  clSerialClose(serial);

  const std::vector<std::string> expected = {
      "ID?\r",    "GRABLINE-SIM-CAM\r\n", "\x01\x02\x03\x04", "",
      "\xff\x03", "C:\\fw\\Quad.bfml",    "text\n",           ""};
  std::vector<std::string> payloads;
  for (const bfsim::Call &call : bfsim::TakeCalls()) payloads.push_back(call.payload);
  EXPECT_EQ(payloads, expected);
}

TEST_F(SimCalls, FineRateAsProgrammedUntilReset) {
  Load("family=R64 model=A\nfamily=R64 model=B\n");
  Bd first = Open(CISYS_TYPE_R64, 0);
  Bd second = Open(CISYS_TYPE_R64, 1);
  const uint64_t own = bfsim::Version() == bfsdk::SdkVersion::kXl ? 1'000'000 : 0;
  EXPECT_EQ(BFFineRate(first), own);
  bfsim::SetFineRate(5000);
  bfsim::SetFineRate(1, 7);  // a board's own rate comes first
  EXPECT_EQ(BFFineRate(first), 5000u);
  EXPECT_EQ(BFFineRate(second), 7u);
  EXPECT_EQ(BFFineRate(nullptr), 0u);
  bfsim::Reset();
  EXPECT_EQ(BFFineRate(Open()), own);
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

// ---- across threads ----------------------------------------------------------

using ThreadedSimCalls = SimTest;

// A wait shows in the log while it blocks, under the waiting thread's id; its
// return completes the same entry.
TEST_F(ThreadedSimCalls, ABlockedWaitIsLoggedBeforeItReturns) {
  Bd board = Open();
  CiSIGNAL signal{};
  ASSERT_EQ(CiSignalCreate(board, 4, &signal), BF_OK);
  bfsim::RecordCalls(true);
  const uint64_t mark = bfsim::TotalCallCount();
  std::atomic<uint32_t> waiter_id{0};
  auto wait = [&] {
    waiter_id = bfsim::ThisThreadId();
    CiSignalWait(board, &signal, BF_WAIT_FOREVER, nullptr);
  };
  std::thread waiter(wait);
  const bfsim::CallFilter waits{"CiSignalWait", "sig#1:4", 0, mark};
  const std::optional<bfsim::Call> entered = bfsim::WaitForCall(waits, 10000);
  ASSERT_TRUE(entered.has_value());
  EXPECT_FALSE(entered->returned);
  EXPECT_EQ(entered->thread, waiter_id.load());
  EXPECT_NE(entered->thread, bfsim::ThisThreadId());
  EXPECT_EQ(bfsim::Calls({"", "", entered->thread, 0}).size(), 1u);
  EXPECT_TRUE(bfsim::Calls({"", "", bfsim::ThisThreadId(), 0}).empty());
  EXPECT_FALSE(bfsim::WaitForCall({"CiSignalWait", "", 0, entered->sequence}, 0));

  ASSERT_EQ(CiSignalCancel(board, &signal), BF_OK);
  const std::optional<bfsim::Call> returned = bfsim::WaitForReturn(entered->sequence, 10000);
  waiter.join();
  ASSERT_TRUE(returned.has_value());
  EXPECT_EQ(returned->result, BF_WAIT_CANCEL);
  EXPECT_EQ(returned->thread, entered->thread);

  // Taken while it blocks: taken as not returned, and its return is not logged again.
  bfsim::TakeCalls();
  std::thread again(wait);
  ASSERT_TRUE(bfsim::WaitForCall({"CiSignalWait", "", 0, returned->sequence}, 10000));
  const std::vector<bfsim::Call> taken = bfsim::TakeCalls();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_FALSE(taken[0].returned);
  EXPECT_EQ(bfsim::RaiseSignal(0, 4), 1u);
  again.join();
  EXPECT_TRUE(bfsim::Calls({"CiSignalWait", "", 0, 0}).empty());
  EXPECT_FALSE(bfsim::WaitForReturn(taken[0].sequence, 0));
}

}  // namespace
}  // namespace bfsim_test
