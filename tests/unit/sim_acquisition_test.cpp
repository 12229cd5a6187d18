// Acquisition: the commands, the signals and registers of each frame,
// triggers, start/stop frames, injected faults and the board's devices.
#include <map>

#include "sim_acq_fixture.hpp"

namespace bfsim_test {
namespace {

using SimAcquisition = SimAcqTest;

const bfsdk::RegisterIds &Ids() { return bfsdk::RegistersOf(bfsim::Version()); }
bool Xl() { return bfsim::Version() == bfsdk::SdkVersion::kXl; }

TEST_F(SimAcquisition, EachFrameRaisesTheSignalsOfItsBoard) {
  const std::string fields =
      TempCamera("sim_fields.cam", "width=64\nheight=48\ndepth=8\ninterlace=2\n");
  struct Case {
    const char *system;
    uint32_t family;
    std::string camera;
    std::map<uint32_t, uint32_t> raised;  // type -> raises for one frame
  };
  const Case cases[] = {
      {"family=R64 model=A\n", CISYS_TYPE_R64, ShippedCamera("gray8.cam"), {{4, 1}, {5, 1}}},
      {"family=Gn2 model=G\n", CISYS_TYPE_GN2, ShippedCamera("gray8.cam"), {{4, 1}, {11, 1}}},
      {"family=Raven model=R\n", CISYS_TYPE_RV, fields, {{4, 2}, {5, 1}}},
      {"family=R64 model=A\n",
       CISYS_TYPE_R64,
       ShippedCamera("startstop8.cam"),
       {{4, 1}, {5, 1}, {15, 1}}},
      {"family=RoadRunner model=RR\n",
       CISYS_TYPE_RR,
       ShippedCamera("startstop8.cam"),
       {{4, 1}, {5, 1}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.system) + c.camera);
    Load(c.system);
    Bd board = OpenCamera(c.camera, c.family);
    std::map<uint32_t, CiSIGNAL> signals;
    for (uint32_t type : {1u, 2u, 4u, 5u, 11u, 15u}) signals[type] = Signal(board, type);
    BuildRing(board, 1);
    ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
    ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
    CiSIGNAL_INFO info{};
    ASSERT_EQ(CiSignalWaitEx(board, &signals[4], 0, nullptr, &info), BF_OK);
    EXPECT_EQ(info.line_count, 48u);
    EXPECT_GT(info.time_stamp, 0u);
    for (auto &[type, signal] : signals) {
      const uint32_t want = c.raised.count(type) != 0 ? c.raised.at(type) : 0;
      EXPECT_EQ(Drain(board, signal) + (type == 4 ? 1 : 0), want) << "type " << type;
    }
  }
}

TEST_F(SimAcquisition, RegistersShowTheAcquisition) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  auto peek = [&](uint32_t id) { return BFRegPeek(board, id); };
  EXPECT_EQ(peek(Ids().acq_status_a), 0u);
  EXPECT_EQ(peek(Ids().alta_connected), 1u);
  BuildRing(board, 2);

  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
  EXPECT_EQ(peek(Ids().acq_status_a), 3u);
  EXPECT_EQ(peek(Ids().acq_status_b), 3u);
  EXPECT_NE(peek(Ids().acq_busy), 0u);
  EXPECT_EQ(peek(Ids().lines_to_go), 48u);
  EXPECT_EQ(BFRegPoke(board, Ids().acq_status_a, 0), BF_OK);  // the board drives it
  EXPECT_EQ(peek(Ids().acq_status_a), 3u);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  EXPECT_EQ(peek(Ids().acq_status_a), 0u);
  EXPECT_EQ(peek(Ids().acq_busy), 0u);
  EXPECT_EQ(peek(Ids().lines_to_go), 0u);
  EXPECT_EQ(peek(Ids().encoder_count), 48u);
  EXPECT_EQ(peek(Ids().cam_sampled), 1u);
  EXPECT_NE(peek(Ids().end_of_exposure), 0u);

  // A snap aborted before its frame still needed all of it.
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
  EXPECT_EQ(peek(Ids().end_of_exposure), 0u);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_ABORT, 0), BF_OK);
  EXPECT_EQ(peek(Ids().lines_to_go), 48u);
  EXPECT_EQ(peek(Ids().acq_status_a), 0u);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 0u);

  ASSERT_EQ(CiAqCommand(board, BF_AQ_GRAB, 1, 0, 0), BF_OK);
  ASSERT_EQ(bfsim::DeliverFrames(0, 3), 3u);
  EXPECT_EQ(peek(Ids().acq_status_a), 3u);
  EXPECT_EQ(peek(Ids().acq_busy), 0u);
  EXPECT_EQ(peek(Ids().encoder_count), 4 * 48u);
  EXPECT_EQ(peek(Ids().cam_sampled), 4u);

  // A disconnected camera delivers nothing and reads as such.
  bfsim::SetCameraConnected(0, false);
  EXPECT_EQ(peek(Ids().alta_connected), 0u);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 0u);
  bfsim::SetCameraConnected(0, true);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 1u);

  // The other families' status registers, where this version has them.
  Load("family=Gn2 model=G kinds=cxp connected=no\nfamily=Raven model=R\n");
  Bd gn2 = OpenCamera(ShippedCamera("gray8.cam"), CISYS_TYPE_GN2);
  Bd raven = OpenCamera(ShippedCamera("gray8.cam"), CISYS_TYPE_RV);
  ASSERT_EQ(CiConAqCommand(gn2, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(CiConAqCommand(raven, BF_CONAQ_GRAB, 0), BF_OK);
  EXPECT_EQ(BFRegPeek(gn2, Ids().gn2_status_a), Xl() ? 3u : 0u);
  EXPECT_EQ(BFRegPeek(gn2, Ids().cxp_link[0]), 0u);  // no camera on the link
  const bool raven_status = Ids().rv_status_a != bfsdk::kNoRegister;
  EXPECT_EQ(BFRegPeek(raven, Ids().rv_status_b), raven_status ? 3u : 0u);
}

TEST_F(SimAcquisition, CommandsAreCheckedAndArmTheBoard) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  EXPECT_FALSE(bfsim::WaitArmed(0, 0));
  EXPECT_EQ(CiAqCommand(board, BF_AQ_SNAP, 0, 0, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiAqCommand(board, 4, 1, 0, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConAqCommand(board, 0, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConAqCommand(board, 4, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConDMACommand(board, 9, 1, 0, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConAqCommand(nullptr, BF_CONAQ_SNAP, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiShutdown(nullptr, 0), BF_ERR_BAD_ARG);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->armed);

  ASSERT_EQ(CiAqCommand(board, BF_AQ_SNAP, 2, 0, 0), BF_OK);
  EXPECT_TRUE(bfsim::WaitArmed(0, 0));
  EXPECT_TRUE(bfsim::AcquisitionState(0)->snap);
  ASSERT_EQ(CiAqCommand(board, BF_AQ_GRAB, 2, 0, 0), BF_OK);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->snap);
  EXPECT_TRUE(bfsim::AcquisitionState(0)->armed);
  ASSERT_EQ(CiAqCommand(board, BF_AQ_STOP, 2, 0, 0), BF_OK);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->armed);

  // Armed without a running DMA engine, no frame is taken.
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 0u);
  Ring &ring = BuildRing(board, 1);
  EXPECT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  EXPECT_NE(ring.buffers[0][0], 0xEE);
  EXPECT_EQ(CiBrdClose(board), BF_OK);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->armed);  // closing stops everything
  EXPECT_FALSE(bfsim::AcquisitionState(0)->dma_running);
}

TEST_F(SimAcquisition, TriggersTakeOneFrameEach) {
  Bd board = OpenCamera(ShippedCamera("oneshot8.cam"));
  BuildRing(board, 2);
  EXPECT_EQ(CiConSwTrig(board, 1, 17), BF_OK);  // nothing armed: lost
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_SNAP, 0), BF_OK);
  EXPECT_EQ(CiConSwTrig(board, 2, 17), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConSwTrig(board, 1, 16), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::FramesProduced(0), 0u);
  ASSERT_EQ(CiConSwTrig(board, 1, 17), BF_OK);
  EXPECT_EQ(bfsim::FramesProduced(0), 1u);
  ASSERT_EQ(CiConSwTrig(board, 1, 17), BF_OK);  // the snap is over
  EXPECT_EQ(bfsim::FramesProduced(0), 1u);

  // The external input counts only while connected.
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 0u);
  ASSERT_EQ(CiConExTrigConnect(board, 1, 19), BF_OK);
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 1u);
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 1u);
  ASSERT_EQ(CiConExTrigConnect(board, 1, 20), BF_OK);
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 0u);
  EXPECT_EQ(bfsim::FramesProduced(0), 3u);

  // A free-running camera ignores triggers until the board is switched to
  // triggered mode.
  Bd free = OpenCamera(ShippedCamera("gray8.cam"));  // the same board, another camera
  ASSERT_EQ(CiConExTrigConnect(free, 1, 19), BF_OK);
  ASSERT_EQ(CiConAqCommand(free, BF_CONAQ_GRAB, 0), BF_OK);
  EXPECT_EQ(CiConSwTrig(free, 1, 17), BF_OK);
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 0u);
  EXPECT_EQ(bfsim::FramesProduced(0), 3u);
  ASSERT_EQ(CiConVTrigModeSet(free, 3, 11, 13, 13), BF_OK);
  EXPECT_EQ(bfsim::PulseExternalTrigger(0), 1u);
  EXPECT_EQ(bfsim::FramesProduced(0), 4u);
}

TEST_F(SimAcquisition, StartStopFramesCarryTheirLineCounts) {
  Bd board = OpenCamera(ShippedCamera("startstop8.cam"));
  const bfsim::CameraDesc camera = *bfsim::CurrentCamera(0);
  CiSIGNAL frame_end = Signal(board, 15);
  Ring &ring = BuildRing(board, 5);
  EXPECT_EQ(CiChainSIPEnable(board, nullptr), BF_ERR_BAD_ARG);
  ASSERT_EQ(CiChainSIPEnable(board, ring.list.data()), BF_OK);
  EXPECT_TRUE(bfsim::AcquisitionState(0)->start_stop_interrupt);
  ASSERT_EQ(CiConExTrigConnect(board, 1, 19), BF_OK);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  EXPECT_EQ(BFRegPeek(board, Ids().lines_to_go), 48u);
  uint64_t last_stamp = 0;
  for (uint32_t lines : {48u, 17u, 1u, 30u, 48u}) {
    ASSERT_EQ(bfsim::PulseExternalTrigger(0), 1u);
    CiSIGNAL_INFO info{};
    ASSERT_EQ(CiSignalWaitEx(board, &frame_end, 0, nullptr, &info), BF_OK);
    EXPECT_EQ(info.line_count, lines);
    EXPECT_GE(info.time_stamp, last_stamp);
    last_stamp = info.time_stamp;
    uint32_t last = 0;
    ASSERT_EQ(CiAqLastLine(board, &last, 0), BF_OK);
    EXPECT_EQ(last, lines + 1);
  }
  // Frames 1 and 2 filled only the first 17 and 1 lines of their buffers.
  const std::vector<uint8_t> second = bfsim::ExpectedFrame(camera, 1, {0, 0, 64, 17});
  EXPECT_TRUE(std::equal(second.begin(), second.end(), ring.buffers[1].begin()));
  EXPECT_EQ(ring.buffers[1][17 * 64], 0xEE);
  const std::vector<uint8_t> third = bfsim::ExpectedFrame(camera, 2, {0, 0, 64, 1});
  EXPECT_TRUE(std::equal(third.begin(), third.end(), ring.buffers[2].begin()));
  EXPECT_EQ(ring.buffers[2][64], 0xEE);
  ASSERT_EQ(CiChainSIPDisable(board, ring.list.data()), BF_OK);
  EXPECT_FALSE(bfsim::AcquisitionState(0)->start_stop_interrupt);
  EXPECT_EQ(BFFineRate(board), Xl() ? 1'000'000u : 0u);

  // The trigger input, as the worker reads it before it starts.
  uint32_t state = 99;
  ASSERT_EQ(CiConHwTrigStat(board, 1, &state), BF_OK);
  EXPECT_EQ(state, 0u);
  bfsim::SetTriggerInput(0, true);
  ASSERT_EQ(CiConHwTrigStat(board, 1, &state), BF_OK);
  EXPECT_EQ(state, Xl() ? 11u : 21u);
  ASSERT_EQ(CiConVTrigModeSet(board, 7, 11, 13, 13), BF_OK);
  ASSERT_EQ(CiConHwTrigStat(board, 1, &state), BF_OK);
  EXPECT_EQ(state, Xl() ? 12u : 22u);
  EXPECT_EQ(CiConHwTrigStat(board, 2, &state), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConHwTrigStat(board, 1, nullptr), BF_ERR_BAD_ARG);
}

TEST_F(SimAcquisition, InjectedFaultsRaiseTheirSignalsAndAreReportedOnce) {
  Bd board = OpenCamera(ShippedCamera("gray8.cam"));
  CiSIGNAL overflow = Signal(board, 2);
  CiSIGNAL exception = Signal(board, 1);
  uint32_t overflowed = 9;
  ASSERT_EQ(CiAqOverflowCheck(board, &overflowed), BF_OK);
  EXPECT_EQ(overflowed, 0u);
  EXPECT_EQ(bfsim::InjectOverflow(0), 1u);
  ASSERT_EQ(CiAqOverflowCheck(board, &overflowed), BF_OK);
  EXPECT_EQ(overflowed, 1u);
  ASSERT_EQ(CiAqOverflowCheck(board, &overflowed), BF_OK);
  EXPECT_EQ(overflowed, 0u);
  EXPECT_EQ(bfsim::InjectHardwareException(0), 1u);
  ASSERT_EQ(CiAqOverflowCheck(board, &overflowed), BF_OK);
  EXPECT_EQ(overflowed, 0u);
  EXPECT_EQ(Drain(board, overflow), 1u);
  EXPECT_EQ(Drain(board, exception), 1u);
  EXPECT_EQ(CiAqOverflowCheck(board, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::InjectOverflow(7), 0u);
}

TEST_F(SimAcquisition, BoardDevicesKeepWhatTheyAreTold) {
  Load("family=R64 model=A gpout=0x5A vfg=2\nfamily=Raven model=R\n");
  Bd r64 = Open(CISYS_TYPE_R64);
  Bd raven = Open(CISYS_TYPE_RV);
  struct Lut {
    uint32_t bits;
    uint8_t r64, other;
  };
  for (const Lut &l : {Lut{8, 1, 1}, Lut{10, 2, 2}, Lut{12, 2, 2}, Lut{16, 3, 2}, Lut{36, 3, 2}}) {
    uint8_t type = 0;
    ASSERT_EQ(CiLutSetMask(r64, l.bits, &type), BF_OK);
    EXPECT_EQ(type, l.r64) << l.bits;
    ASSERT_EQ(CiLutSetMask(raven, l.bits, &type), BF_OK);
    EXPECT_EQ(type, l.other) << l.bits;
  }
  uint8_t type = 0;
  EXPECT_EQ(CiLutSetMask(r64, 0, &type), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutSetMask(r64, 65, &type), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutSetMask(r64, 8, nullptr), BF_ERR_BAD_ARG);

  uint32_t out = 0;
  ASSERT_EQ(CiRegGPOutGet(r64, &out), BF_OK);
  EXPECT_EQ(out, 0x5Au);
  ASSERT_EQ(CiRegGPOutSet(r64, 0x5A, 0), BF_OK);
  ASSERT_EQ(CiRegGPOutSet(r64, 0x41, 1), BF_OK);
  ASSERT_EQ(CiRegGPOutGet(r64, &out), BF_OK);
  EXPECT_EQ(out, 0x41u);
  EXPECT_EQ(CiRegGPOutGet(r64, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFGetVFGNum(r64), 2u);
  EXPECT_EQ(BFGetVFGNum(raven), 0u);

  ASSERT_EQ(CiConInt(r64, 4, 1), BF_OK);
  ASSERT_EQ(CiConInt(r64, 5, 1), BF_OK);
  ASSERT_EQ(CiConInt(r64, 4, 0), BF_OK);
  EXPECT_EQ(CiConInt(r64, 32, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiConInt(r64, 4, 2), BF_ERR_BAD_ARG);
  ASSERT_EQ(CiConIntModeSet(r64, 49), BF_OK);
  ASSERT_EQ(CiConCTabReset(r64), BF_OK);
  ASSERT_EQ(CiConCTabReset(r64), BF_OK);
  bfsim::AcquisitionDesc state = *bfsim::AcquisitionState(0);
  EXPECT_EQ(state.interrupts, 1u << 5);
  EXPECT_EQ(state.int_mode, 49u);
  EXPECT_EQ(state.ctab_resets, 2u);
  EXPECT_EQ(state.lut_bits, 36u);

  // A board opened anew starts from its configuration again.
  ASSERT_EQ(CiBrdClose(r64), BF_OK);
  r64 = Open(CISYS_TYPE_R64);
  ASSERT_EQ(CiRegGPOutGet(r64, &out), BF_OK);
  EXPECT_EQ(out, 0x5Au);
  EXPECT_EQ(bfsim::AcquisitionState(0)->ctab_resets, 0u);

  EXPECT_EQ(bfsim::LoadSystem("family=R64 model=A vfg=4\n"), "line 1: vfg must be from 0 to 3");
  EXPECT_EQ(bfsim::LoadSystem("family=R64 model=A gpout=on\n"),
            "line 1: gpout 'on' is not a 32-bit number");
  EXPECT_EQ(bfsim::LoadSystem("family=R64 model=A connected=maybe\n"),
            "line 1: connected must be yes or no");
}

}  // namespace
}  // namespace bfsim_test
