// Quick Switch on the simulated board: frames land only where the next-frame
// call names, at the region's size, one per software trigger; the position
// registers follow the frame size, and the board refuses positions or
// entries that do not fit.
#include <algorithm>

#include "sim_acq_fixture.hpp"

namespace bfsim_test {
namespace {

constexpr uint8_t kUntouched = 0xEE;

class SimQuickSwitch : public SimAcqTest {
 protected:
  void SetUp() override {
    SimAcqTest::SetUp();
    board_ = OpenCamera(ShippedCamera("gray8.cam"));  // 64 x 48, 8 bits
    normal_ = &BuildRing(board_, 2);
  }

  struct Region {
    uint32_t width = 0, height = 0, pos_a = 0, pos_b = 0;
    std::vector<std::vector<uint8_t>> buffers;
    std::unique_ptr<RQTabHeadRec[]> records;
    std::vector<RQTabHeadPtr> list;
  };

  // A region's chain as the plug-in builds it: frame size set, positions
  // read back, QTabs linked but not engaged.
  Region &BuildRegion(uint32_t width, uint32_t height, uint32_t count) {
    Region &r = regions_.emplace_back();
    r.width = width;
    r.height = height;
    EXPECT_EQ(CiAqFrameSize(board_, width, height, 0), BF_OK);
    const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(bfsim::Version());
    r.pos_a = BFRegPeek(board_, ids.qs_pos_a);
    r.pos_b = BFRegPeek(board_, ids.qs_pos_b);
    r.records = std::make_unique<RQTabHeadRec[]>(count);
    for (uint32_t i = 0; i < count; ++i) {
      r.buffers.emplace_back(size_t{width} * height, kUntouched);
      r.records[i] = RQTabHeadRec{};
      r.list.push_back(&r.records[i]);
      EXPECT_EQ(CiRelQTabCreate(board_, Camera(board_), r.buffers[i].data(), width * height,
                                static_cast<int32_t>(width), r.list[i], 3, 4, 1, 2, 0),
                BF_OK);
      EXPECT_EQ(CiPhysQTabCreate(board_, r.list[i], 0), BF_OK);
    }
    EXPECT_EQ(CiPhysQTabChainLink(board_, r.list.data(), count), BF_OK);
    return r;
  }

  void EnterMode() {
    ASSERT_EQ(CiShutdown(board_, 0), BF_OK);
    ASSERT_EQ(CiConAqMode(board_, BF_AQMODE_QUICK_SWITCH), BF_OK);
    ASSERT_EQ(BFQSModeSet(board_, 1), BF_OK);
  }

  BFRC Next(Region &r, uint32_t index) {
    return CiConQSSetNextFrame(board_, r.list.data(), index, r.pos_a, r.pos_b);
  }

  // Programs, starts and triggers one frame the way the plug-in does.
  void Trigger(Region &r, uint32_t index) {
    ASSERT_EQ(Next(r, index), BF_OK);
    ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
    ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_GRAB, 0), BF_OK);
    ASSERT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);
  }

  static bool Untouched(const std::vector<uint8_t> &buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == kUntouched; });
  }

  Bd board_ = nullptr;
  Ring *normal_ = nullptr;
  std::deque<Region> regions_;
};

TEST_F(SimQuickSwitch, PositionRegistersFollowTheFrameSizeAndIgnorePokes) {
  const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(bfsim::Version());
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_a), 64u);  // the whole camera frame at open
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_b), 48u);
  ASSERT_EQ(CiAqFrameSize(board_, 32, 8, 0), BF_OK);
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_a), 32u);
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_b), 8u);
  ASSERT_EQ(CiAqROISet(board_, 8, 4, 16, 10, 0), BF_OK);
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_a), (8u << 16) | 16u);
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_b), (4u << 16) | 10u);
  // A refused size leaves them as they were; the board alone drives them.
  EXPECT_EQ(CiAqFrameSize(board_, 65, 8, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFRegPoke(board_, ids.qs_pos_a, 1), BF_OK);
  EXPECT_EQ(BFRegPeek(board_, ids.qs_pos_a), (8u << 16) | 16u);
}

TEST_F(SimQuickSwitch, EachTriggerFillsExactlyTheNamedEntryAtItsRegionSize) {
  Region &big = BuildRegion(64, 48, 2);
  Region &small = BuildRegion(32, 8, 3);
  CiSIGNAL done = Signal(board_, 4);
  EnterMode();
  bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);

  Trigger(small, 2);
  EXPECT_EQ(Drain(board_, done), 1u);
  EXPECT_EQ(small.buffers[2],
            bfsim::ExpectedFrame(camera, 0, bfsim::FrameWindow{0, 0, 32, 8, false}));
  EXPECT_TRUE(Untouched(small.buffers[0]) && Untouched(small.buffers[1]));

  Trigger(big, 1);
  EXPECT_EQ(Drain(board_, done), 1u);
  EXPECT_EQ(big.buffers[1], bfsim::ExpectedFrame(camera, 1));
  EXPECT_TRUE(Untouched(big.buffers[0]));

  // Without a new next-frame call a trigger takes nothing, and the clock
  // path delivers nothing while the mode is on.
  ASSERT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);
  EXPECT_EQ(bfsim::DeliverFrames(0, 3), 0u);
  EXPECT_EQ(Drain(board_, done), 0u);
  for (const auto &buffer : normal_->buffers) EXPECT_TRUE(Untouched(buffer));
  const bfsim::QuickSwitchDesc qs = *bfsim::QuickSwitch(0);
  EXPECT_TRUE(qs.on);
  EXPECT_FALSE(qs.next_set);
  EXPECT_EQ(qs.frames, 2u);
  EXPECT_EQ(bfsim::FramesProduced(0), 2u);
  EXPECT_EQ(BFRegPeek(board_, bfsdk::RegistersOf(bfsim::Version()).qs_frame), 2u);
}

TEST_F(SimQuickSwitch, ATriggerTakesAFrameOnlyOnceTheBoardAcquires) {
  Region &small = BuildRegion(32, 8, 1);
  CiSIGNAL done = Signal(board_, 4);
  EnterMode();
  ASSERT_EQ(Next(small, 0), BF_OK);
  ASSERT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);  // DMA and acquisition not started
  EXPECT_EQ(Drain(board_, done), 0u);
  EXPECT_TRUE(bfsim::QuickSwitch(0)->next_set);
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_GRAB, 0), BF_OK);
  bfsim::SetCameraConnected(0, false);
  ASSERT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);
  EXPECT_EQ(Drain(board_, done), 0u);
  bfsim::SetCameraConnected(0, true);
  ASSERT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);
  EXPECT_EQ(Drain(board_, done), 1u);
  EXPECT_FALSE(Untouched(small.buffers[0]));
}

TEST_F(SimQuickSwitch, NextFrameRefusesWhatDoesNotFitItsChain) {
  Region &small = BuildRegion(32, 8, 2);
  EXPECT_EQ(Next(small, 0), BF_ERR_BAD_ARG);  // the mode is off
  EnterMode();
  EXPECT_EQ(BFQSModeSet(board_, 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(Next(small, 2), BF_ERR_BAD_ARG);  // beyond the chain
  EXPECT_EQ(CiConQSSetNextFrame(board_, small.list.data(), 0, small.pos_a + 4, small.pos_b),
            BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConQSSetNextFrame(board_, small.list.data(), 0, small.pos_a, small.pos_b + 1),
            BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConQSSetNextFrame(board_, nullptr, 0, small.pos_a, small.pos_b), BF_ERR_BAD_ARG);
  // Positions read for another size, as after a frame size set later.
  ASSERT_EQ(CiAqFrameSize(board_, 16, 4, 0), BF_OK);
  const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(bfsim::Version());
  EXPECT_EQ(CiConQSSetNextFrame(board_, small.list.data(), 0, BFRegPeek(board_, ids.qs_pos_a),
                                BFRegPeek(board_, ids.qs_pos_b)),
            BF_ERR_BAD_ARG);
  // A chain that lost a member is no destination any more.
  ASSERT_EQ(CiRelQTabFree(board_, small.list[1]), BF_OK);
  EXPECT_EQ(Next(small, 0), BF_ERR_BAD_ARG);
  EXPECT_FALSE(bfsim::QuickSwitch(0)->next_set);
}

TEST_F(SimQuickSwitch, LeavingTheModeGivesTheClockPathBack) {
  Region &small = BuildRegion(32, 8, 1);
  EnterMode();
  ASSERT_EQ(Next(small, 0), BF_OK);
  ASSERT_EQ(BFQSModeSet(board_, 0), BF_OK);
  EXPECT_FALSE(bfsim::QuickSwitch(0)->next_set);  // a programmed frame is dropped
  ASSERT_EQ(CiAqFrameSize(board_, 64, 48, 0), BF_OK);
  ASSERT_EQ(CiConAqMode(board_, 3), BF_OK);
  ASSERT_EQ(CiPhysQTabChainEngage(board_, normal_->list.data(), 0), BF_OK);
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_SNAP, 0), BF_OK);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  EXPECT_EQ(normal_->buffers[0], bfsim::ExpectedFrame(*bfsim::CurrentCamera(0), 0));
  EXPECT_TRUE(Untouched(small.buffers[0]));
}

TEST_F(SimQuickSwitch, Gn2BoardsTakeTheSizeFromTheQTabAlone) {
  Load("family=Gn2 model=GN2-CL ports=1\n");
  board_ = OpenCamera(ShippedCamera("gray8.cam"), CISYS_TYPE_GN2);
  normal_ = &BuildRing(board_, 2);
  Region &small = BuildRegion(32, 8, 1);
  CiSIGNAL done = Signal(board_, 4);
  EnterMode();
  ASSERT_EQ(CiConQSSetNextFrame(board_, small.list.data(), 0, 0, 0), BF_OK);
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);
  EXPECT_EQ(Drain(board_, done), 1u);
  EXPECT_EQ(small.buffers[0], bfsim::ExpectedFrame(*bfsim::CurrentCamera(0), 0,
                                                   bfsim::FrameWindow{0, 0, 32, 8, false}));
}

}  // namespace
}  // namespace bfsim_test
