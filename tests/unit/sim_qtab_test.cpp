// QTabs and chains: what creation refuses, how a chain is built and broken,
// the live counts, and that freed memory is never written again.
#include <cstring>

#include "sim_acq_fixture.hpp"

namespace bfsim_test {
namespace {

class SimQTabs : public SimAcqTest {
 protected:
  void SetUp() override {
    SimAcqTest::SetUp();
    board_ = OpenCamera(ShippedCamera("gray8.cam"));
    camera_ = Camera(board_);
  }
  BFRC Create(RQTabHeadRec *qtab, void *destination, uint32_t size = 64 * 48, int32_t stride = 64,
              uint32_t format = 3) {
    return CiRelQTabCreate(board_, camera_, destination, size, stride, qtab, format, 0, 1, 2, 0);
  }
  Bd board_ = nullptr;
  CiCam camera_ = nullptr;
  uint8_t memory_[64 * 48] = {};
};

TEST_F(SimQTabs, CreationRefusesWhatCannotDescribeABuffer) {
  RQTabHeadRec qtab{};
  EXPECT_EQ(Create(&qtab, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(Create(nullptr, memory_), BF_ERR_BAD_ARG);
  EXPECT_EQ(Create(&qtab, memory_, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(Create(&qtab, memory_, 64 * 48, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(Create(&qtab, memory_, 63, 64), BF_ERR_BAD_ARG);  // not one line fits
  EXPECT_EQ(Create(&qtab, memory_, 64 * 48, INT32_MIN), BF_ERR_BAD_ARG);
  EXPECT_EQ(Create(&qtab, memory_, 64 * 48, 64, 5), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRelQTabCreate(board_, nullptr, memory_, 64, 64, &qtab, 3, 0, 1, 2, 0),
            BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRelQTabCreate(nullptr, camera_, memory_, 64, 64, &qtab, 3, 0, 1, 2, 0),
            BF_ERR_BAD_ARG);
  EXPECT_EQ(qtab.impl, nullptr);
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);

  ASSERT_EQ(Create(&qtab, memory_, 64 * 48, -64), BF_OK);
  EXPECT_NE(qtab.impl, nullptr);
  EXPECT_EQ(bfsim::LiveQTabs(0), 1u);
  // A record that still holds a live table would lose it.
  EXPECT_EQ(Create(&qtab, memory_), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRelQTabFree(board_, &qtab), BF_OK);
  EXPECT_EQ(CiRelQTabFree(board_, &qtab), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
  EXPECT_EQ(Create(&qtab, memory_), BF_OK);  // a freed record may be used again

  uint32_t granted = 9;
  EXPECT_EQ(BFQTabModeRequest(board_, BF_QTAB_HOST, &granted), BF_OK);
  EXPECT_EQ(granted, 1u);
  EXPECT_EQ(BFQTabModeRequest(board_, BF_QTAB_HOST, nullptr), BF_ERR_BAD_ARG);
  Load("family=Raven model=RV host_qtabs=no\n");
  EXPECT_EQ(BFQTabModeRequest(Open(CISYS_TYPE_RV), BF_QTAB_HOST, &granted), BF_OK);
  EXPECT_EQ(granted, 0u);
}

TEST_F(SimQTabs, ChainsAreLinkedFromPhysicalQTabsAndEngagedFromTheirStart) {
  RQTabHeadRec records[3] = {};
  RQTabHeadPtr list[3] = {&records[0], &records[1], &records[2]};
  for (RQTabHeadPtr q : list) ASSERT_EQ(Create(q, memory_), BF_OK);
  EXPECT_EQ(CiPhysQTabChainLink(board_, list, 3), BF_ERR_BAD_ARG);  // not physical yet
  for (RQTabHeadPtr q : list) ASSERT_EQ(CiPhysQTabCreate(board_, q, 0), BF_OK);
  EXPECT_EQ(CiPhysQTabChainEngage(board_, list, 0), BF_ERR_BAD_ARG);          // not linked
  EXPECT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_ERR_BAD_ARG);  // nothing engaged
  RQTabHeadPtr twice[2] = {list[0], list[0]};
  EXPECT_EQ(CiPhysQTabChainLink(board_, twice, 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiPhysQTabChainLink(board_, list, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiPhysQTabChainLink(board_, nullptr, 3), BF_ERR_BAD_ARG);

  ASSERT_EQ(CiPhysQTabChainLink(board_, list, 3), BF_OK);
  ASSERT_EQ(CiPhysQTabChainEngage(board_, &list[1], 0), BF_OK);  // any member names the chain
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
  bfsim::AcquisitionDesc state = *bfsim::AcquisitionState(0);
  EXPECT_EQ(state.chain_length, 3u);
  EXPECT_EQ(state.chain_position, 0u);
  EXPECT_TRUE(state.dma_running);

  // Relinking two of them breaks the engaged chain: DMA has no destination.
  ASSERT_EQ(CiPhysQTabChainLink(board_, list, 2), BF_OK);
  EXPECT_EQ(bfsim::AcquisitionState(0)->chain_length, 0u);
  ASSERT_EQ(CiPhysQTabChainEngage(board_, list, 0), BF_OK);
  EXPECT_EQ(bfsim::AcquisitionState(0)->chain_length, 2u);
  EXPECT_EQ(CiPhysQTabChainEngage(board_, &list[2], 0), BF_ERR_BAD_ARG);  // left alone

  // A new system forgets them all.
  Load("family=R64 model=A\n");
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
  EXPECT_EQ(CiPhysQTabFree(board_, list[0]), BF_ERR_BAD_ARG);
}

TEST_F(SimQTabs, FreeingAMemberDisengagesTheChain) {
  Ring &ring = BuildRing(board_, 2);
  ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_GRAB, 0), BF_OK);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  EXPECT_EQ(CiPhysQTabFree(board_, ring.list[1]), BF_OK);
  EXPECT_EQ(CiPhysQTabFree(board_, ring.list[1]), BF_ERR_BAD_ARG);  // no longer physical
  EXPECT_EQ(bfsim::LiveQTabs(0), 2u);
  EXPECT_EQ(bfsim::AcquisitionState(0)->chain_length, 0u);
  EXPECT_EQ(bfsim::DeliverFrames(0, 3), 0u);
  EXPECT_EQ(CiPhysQTabChainEngage(board_, ring.list.data(), 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRelQTabFree(board_, ring.list[1]), BF_OK);
  EXPECT_EQ(CiRelQTabFree(board_, ring.list[0]), BF_OK);  // without its physical side first
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
}

TEST_F(SimQTabs, TablesBelongToTheirBoardAndOutliveItsClose) {
  Load("family=R64 model=A\nfamily=R64 model=B\n");
  board_ = OpenCamera(ShippedCamera("gray8.cam"), CISYS_TYPE_R64, 0);
  camera_ = Camera(board_);
  Bd other = OpenCamera(ShippedCamera("gray8.cam"), CISYS_TYPE_R64, 1);
  RQTabHeadRec qtab{};
  EXPECT_EQ(CiRelQTabCreate(other, camera_, memory_, 64, 64, &qtab, 3, 0, 1, 2, 0),
            BF_ERR_BAD_ARG);  // a camera of the other board
  ASSERT_EQ(Create(&qtab, memory_), BF_OK);
  EXPECT_EQ(CiPhysQTabCreate(other, &qtab, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRelQTabFree(other, &qtab), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::LiveQTabs(1), 0u);
  ASSERT_EQ(CiRelQTabFree(board_, &qtab), BF_OK);

  // Left behind at close: still counted, so the leak shows, but dead.
  Ring &ring = BuildRing(board_, 2);
  ASSERT_EQ(CiBrdClose(board_), BF_OK);
  EXPECT_EQ(bfsim::LiveQTabs(0), 2u);
  Bd again = Open();
  EXPECT_EQ(CiPhysQTabChainLink(again, ring.list.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRelQTabFree(again, ring.list[0]), BF_ERR_BAD_ARG);
  bfsim::Reset();
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
}

// Frames are written under the lock a free takes: once the free returned,
// the memory may go. ASan reports any later write into it.
TEST_F(SimQTabs, FreedMemoryIsNeverWritten) {
  auto buffer = std::make_unique<uint8_t[]>(64 * 48);
  RQTabHeadRec qtab{};
  ASSERT_EQ(Create(&qtab, buffer.get()), BF_OK);
  ASSERT_EQ(CiPhysQTabCreate(board_, &qtab, 0), BF_OK);
  RQTabHeadPtr list[1] = {&qtab};
  ASSERT_EQ(CiPhysQTabChainLink(board_, list, 1), BF_OK);
  ASSERT_EQ(CiPhysQTabChainEngage(board_, list, 0), BF_OK);
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  EXPECT_EQ(CiPhysQTabFree(board_, &qtab), BF_OK);
  EXPECT_EQ(CiRelQTabFree(board_, &qtab), BF_OK);
  buffer.reset();
  EXPECT_EQ(bfsim::DeliverFrames(0, 2), 0u);
  EXPECT_EQ(CiConSwTrig(board_, 1, 17), BF_OK);

  // Shut down or with DMA aborted the board writes nothing either.
  Ring &ring = BuildRing(board_, 1);
  ASSERT_EQ(CiConAqCommand(board_, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_ABORT, 1, 0, 0), BF_OK);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 0u);
  ASSERT_EQ(CiConDMACommand(board_, BF_DMA_START, 1, 0, 0), BF_OK);
  ASSERT_EQ(CiShutdown(board_, 0), BF_OK);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->armed);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->dma_running);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 0u);
  EXPECT_EQ(ring.buffers[0], std::vector<uint8_t>(64 * 48, 0xEE));
}

}  // namespace
}  // namespace bfsim_test
