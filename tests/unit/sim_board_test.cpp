// Simulated boards: opening and closing, cameras and ports, inquiry,
// family queries and trigger state.
#include <fstream>

#include "sim_fixture.hpp"

namespace bfsim_test {
namespace {

using SimBoard = SimTest;

TEST_F(SimBoard, DriverNotReadyFailsOnlyTheReadyCheck) {
  EXPECT_EQ(BFDrvReady(60), BF_OK);
  bfsim::SetDriverReady(false);
  EXPECT_EQ(BFDrvReady(60), BF_ERR_DRV_NOT_READY);
  bfsim::Reset();
  EXPECT_EQ(BFDrvReady(0), BF_OK);
}

TEST_F(SimBoard, HeldByAnotherProcessRefusesBothOpens) {
  bfsim::SetHeldElsewhere(0, true);
  CiENTRY entry;
  Bd board = nullptr;
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_ERR_BRD_HELD);
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, "default"), BF_ERR_BRD_HELD_CAM);
  EXPECT_EQ(board, nullptr);
  EXPECT_FALSE(bfsim::Boards()[0].open);
  bfsim::SetHeldElsewhere(0, false);
  EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_OK);

  Load("family=Raven model=RV held=yes\n");
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_RV, 0, &entry), BF_OK);
  EXPECT_EQ(CiBrdOpen(&entry, &board, 321, "default"), BF_ERR_BRD_HELD);
}

TEST_F(SimBoard, EachOpenIsAHandleOfItsOwnAndCloseInvalidatesIt) {
  Bd first = Open();
  Bd second = Open();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first, second);
  EXPECT_EQ(CiBrdClose(first), BF_OK);
  EXPECT_TRUE(bfsim::Boards()[0].open);  // the second handle keeps it open
  EXPECT_EQ(CiBrdClose(first), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdType(first), 0u);
  EXPECT_EQ(CiBrdType(second), uint32_t{CISYS_TYPE_R64});
  EXPECT_EQ(CiBrdClose(second), BF_OK);
  EXPECT_FALSE(bfsim::Boards()[0].open);
  EXPECT_EQ(CiBrdClose(nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdClose(reinterpret_cast<Bd>(uintptr_t{0x1234})), BF_ERR_BAD_ARG);
}

TEST_F(SimBoard, CameraFilesMustExistAndMayUseBackslashes) {
  CiENTRY entry;
  Bd board = nullptr;
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, "no/such/file.cam"), BF_ERR_NO_CAMERA);
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, ::testing::TempDir().c_str()), BF_ERR_NO_CAMERA);
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(board, nullptr);
  EXPECT_FALSE(bfsim::Boards()[0].open);

  const std::string dir = ::testing::TempDir();
  std::ofstream(dir + "sim_cam.cam") << "width = 320\nheight = 240\ndepth = 8\n";
  std::string windows_style = dir + "sim_cam.cam";
  for (char &c : windows_style) c = c == '/' ? '\\' : c;
  EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, windows_style.c_str()), BF_OK);
  uint32_t width = 0;
  EXPECT_EQ(CiBrdInquire(board, BF_INQ_XSIZE, &width), BF_OK);
  EXPECT_EQ(width, 320u);

  // A missing camera named in the system file fails the plain open too.
  Load("family=R64 model=A camera=missing.cam\n");
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_ERR_NO_CAMERA);
}

TEST_F(SimBoard, InquiryAnswersFromTheBuiltInCamera) {
  Bd board = Open();
  const std::pair<uint32_t, uint32_t> expected[] = {
      {BF_INQ_MODEL, 0x6401},    {BF_INQ_NUM_CAMERAS, 2},    {BF_INQ_XSIZE, 640},
      {BF_INQ_YSIZE, 480},       {BF_INQ_INTERLACE, 1},      {BF_INQ_BITDEPTH, 8},
      {BF_INQ_BYTES_PER_PIX, 1}, {BF_INQ_TIMEOUT, 5000},     {BF_INQ_FRAME_RATE, 30},
      {BF_INQ_BITDEPTH2, 8},     {BF_INQ_BYTES_PER_PIX2, 1},
  };
  for (const auto &[item, value] : expected) {
    uint32_t got = 0xDEAD;
    EXPECT_EQ(CiBrdInquire(board, item, &got), BF_OK) << std::hex << item;
    EXPECT_EQ(got, value) << std::hex << item;
  }
  uint32_t value = 0;
  EXPECT_EQ(CiBrdInquire(board, BF_INQ_FRAME_BYTES, &value), BF_OK);
  EXPECT_EQ(value, 640u * 480);
  EXPECT_EQ(CiBrdInquire(board, 0x10008, &value), BF_ERR_BAD_ITEM);
  EXPECT_EQ(CiBrdInquire(board, BF_INQ_LINK_SPEED, &value), BF_ERR_BAD_ITEM);  // not a Gn2
  EXPECT_EQ(CiBrdInquire(board, BF_INQ_XSIZE, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdInquire(nullptr, BF_INQ_XSIZE, &value), BF_ERR_BAD_ARG);
}

TEST_F(SimBoard, FamilyQueriesFollowFamilyAndKinds) {
  Load(kMixedSystem);
  struct Expect {
    uint32_t family, index;
    uint32_t type, r64, r64_board, rv, kbn, neon, neonq, cl, gn2, cxp;
  };
  const Expect cases[] = {
      {CISYS_TYPE_RR, 0, 16, 0, 0, 0, 0, 0, 0, 1, 0, 0},
      {CISYS_TYPE_RV, 0, 32, 0, 0, 1, 0, 0, 0, 0, 0, 0},
      {CISYS_TYPE_R64, 0, 64, 1, 0, 0, 1, 0, 0, 1, 0, 0},
      {CISYS_TYPE_R64, 1, 64, 1, 0, 0, 0, 1, 1, 1, 0, 0},
      {CISYS_TYPE_GN2, 0, 128, 0, 0, 0, 0, 0, 0, 0, 1, 1},
  };
  for (const Expect &e : cases) {
    Bd b = Open(e.family, e.index);
    SCOPED_TRACE(testing::Message() << e.family << ":" << e.index);
    EXPECT_EQ(CiBrdType(b), e.type);
    EXPECT_EQ(BFIsR64(b), e.r64);
    EXPECT_EQ(BFIsR64Board(b), e.r64_board);
    EXPECT_EQ(BFIsRv(b), e.rv);
    EXPECT_EQ(BFIsKbn(b), e.kbn);
    EXPECT_EQ(BFIsNeon(b), e.neon);
    EXPECT_EQ(BFIsNeonQ(b), e.neonq);
    EXPECT_EQ(BFIsAlta(b), 0u);
    EXPECT_EQ(BFIsCL(b), e.cl);
    EXPECT_EQ(BFIsGn2(b), e.gn2);
    EXPECT_EQ(BFIsCXP(b), e.cxp);
  }
  EXPECT_EQ(BFIsR64Board(Open()), 0u);  // the Karbon is no R64 proper
  uint32_t speed = 7;
  EXPECT_EQ(CiBrdInquire(Open(CISYS_TYPE_GN2, 0), BF_INQ_LINK_SPEED, &speed), BF_OK);
  EXPECT_EQ(speed, 0u);
  EXPECT_EQ(CiBrdInquire(Open(CISYS_TYPE_GN2, 1), BF_INQ_LINK_SPEED, &speed), BF_OK);
  EXPECT_EQ(speed, 1u);
  EXPECT_EQ(BFIsR64(nullptr), 0u);
}

TEST_F(SimBoard, CameraPortsSelectAndHandlesFollowTheBoard) {
  Bd board = Open();
  CiCam port0 = nullptr;
  CiCam port1 = nullptr;
  ASSERT_EQ(CiBrdCamGetCur(board, &port0), BF_OK);
  EXPECT_EQ(CiBrdCamSel(board, 2, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::Trigger(0)->port, 0u);
  ASSERT_EQ(CiBrdCamSel(board, 1, 1), BF_OK);
  ASSERT_EQ(CiBrdCamGetCur(board, &port1), BF_OK);
  EXPECT_NE(port0, port1);
  EXPECT_EQ(bfsim::Trigger(0)->port, 1u);
  EXPECT_EQ(CiBrdCamSetCur(board, port0, 1), BF_OK);
  EXPECT_EQ(bfsim::Trigger(0)->port, 0u);
  CiCam again = nullptr;
  EXPECT_EQ(CiBrdCamGetCur(board, &again), BF_OK);
  EXPECT_EQ(again, port0);

  // A camera belongs to its board; closed cameras are gone.
  Load("family=R64 model=A ports=2\nfamily=R64 model=B ports=2\n");
  Bd a = Open(CISYS_TYPE_R64, 0);
  Bd b = Open(CISYS_TYPE_R64, 1);
  CiCam cam_a = nullptr;
  ASSERT_EQ(CiBrdCamGetCur(a, &cam_a), BF_OK);
  EXPECT_EQ(CiBrdCamSetCur(b, cam_a, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdCamSetCur(a, port0, 1), BF_ERR_BAD_ARG);  // from the replaced system
  EXPECT_EQ(CiCamClose(a, cam_a), BF_OK);
  EXPECT_EQ(CiBrdCamSetCur(a, cam_a, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiCamClose(a, cam_a), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiBrdCamGetCur(a, nullptr), BF_ERR_BAD_ARG);
}

TEST_F(SimBoard, TriggerModeAndExternalTriggerUpdateTheBoard) {
  Bd board = Open();
  uint32_t mode = 99, a = 99, b = 99, c = 99;
  ASSERT_EQ(CiConVTrigModeGet(board, &mode, &a, &b, &c), BF_OK);
  EXPECT_EQ(mode, 0u);  // the built-in camera runs free
  EXPECT_EQ(CiConVTrigModeSet(board, 3, 11, 13, 13), BF_OK);
  ASSERT_EQ(CiConVTrigModeGet(board, &mode, &a, &b, &c), BF_OK);
  EXPECT_EQ(mode, 3u);
  EXPECT_EQ(c, 13u);
  EXPECT_EQ(CiConVTrigModeGet(board, &mode, nullptr, nullptr, nullptr), BF_OK);
  EXPECT_EQ(CiConVTrigModeGet(board, nullptr, &a, &b, &c), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConVTrigModeSet(board, 9, 0, 0, 0), BF_ERR_BAD_ARG);

  EXPECT_EQ(CiConExTrigConnect(board, 1, 19), BF_OK);
  EXPECT_TRUE(bfsim::Trigger(0)->external_connected);
  EXPECT_EQ(CiConExTrigConnect(board, 1, 21), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConExTrigConnect(board, 2, 20), BF_ERR_BAD_ARG);
  EXPECT_TRUE(bfsim::Trigger(0)->external_connected);
  EXPECT_EQ(CiConExTrigConnect(board, 1, 20), BF_OK);
  EXPECT_FALSE(bfsim::Trigger(0)->external_connected);

  // Making a camera current applies its trigger mode again.
  CiCam camera = nullptr;
  ASSERT_EQ(CiBrdCamGetCur(board, &camera), BF_OK);
  ASSERT_EQ(CiBrdCamSetCur(board, camera, 1), BF_OK);
  EXPECT_EQ(bfsim::Trigger(0)->mode, 0u);
  EXPECT_FALSE(bfsim::Trigger(7).has_value());
}

}  // namespace
}  // namespace bfsim_test
