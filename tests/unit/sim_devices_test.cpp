// The board's devices: LUT memory, control table, digital lines, timing
// generator, the Gn2 trigger register and the CoaXPress camera registers.
#include <cmath>
#include <numeric>

#include "sim_acq_fixture.hpp"

namespace bfsim_test {
namespace {

using SimDevices = SimAcqTest;

const bfsdk::RegisterIds &Ids() { return bfsdk::RegistersOf(bfsim::Version()); }
const bfsdk::BoardModels &Models() { return bfsdk::ModelsOf(bfsim::Version()); }

uint8_t LutType(Bd board, uint32_t bits) {
  uint8_t type = 0;
  EXPECT_EQ(CiLutSetMask(board, bits, &type), BF_OK);
  return type;
}

TEST_F(SimDevices, LutWritesReachEveryBankOfTheirMaskAndReadsOne) {
  Load("family=Raven model=R\n");
  Bd board = Open(CISYS_TYPE_RV);
  const uint8_t type = LutType(board, 10);
  std::vector<uint16_t> words(1024);
  std::iota(words.begin(), words.end(), uint16_t{0x300});
  ASSERT_EQ(CiLutWrite(board, type, 0, 3, 1024, 1024, words.data(), 2), BF_OK);
  for (uint32_t bank : {0u, 1u}) {
    const std::vector<uint16_t> lut = bfsim::LutBank(0, bank);
    ASSERT_EQ(lut.size(), 4096u);
    EXPECT_EQ(std::vector<uint16_t>(lut.begin() + 1024, lut.begin() + 2048), words);
    EXPECT_EQ(lut[0], 0u);
  }
  EXPECT_EQ(bfsim::LutBank(0, 2)[1024], 0u);
  EXPECT_TRUE(bfsim::LutBank(0, 4).empty());

  std::vector<uint16_t> back(1024);
  ASSERT_EQ(CiLutRead(board, type, 0, 2, 1024, 1024, back.data(), 2), BF_OK);
  EXPECT_EQ(back, words);
  // One-byte entries take the low byte.
  uint8_t bytes[2] = {};
  ASSERT_EQ(CiLutRead(board, type, 0, 1, 1025, 2, bytes, 1), BF_OK);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0x02);
  const uint8_t narrow[3] = {7, 8, 9};
  ASSERT_EQ(CiLutWrite(board, type, 0, 12, 0, 3, narrow, 1), BF_OK);
  EXPECT_EQ(bfsim::LutBank(0, 3)[2], 9u);
  EXPECT_EQ(CiLutPeek(board, type, 0, 4, 1), 8u);
  ASSERT_EQ(CiLutPoke(board, type, 0, 15, 4095, 0x12345), BF_OK);
  EXPECT_EQ(CiLutPeek(board, type, 0, 1, 4095), 0x2345u);

  // Refusals change nothing.
  EXPECT_EQ(CiLutWrite(board, type, 0, 3, 4000, 97, words.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutWrite(board, type, 0, 16, 0, 1, words.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutWrite(board, type, 0, 0, 0, 1, words.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutWrite(board, type, 0, 1, 0, 1, words.data(), 4), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutWrite(board, type, 1, 1, 0, 1, words.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutWrite(board, type + 1, 0, 1, 0, 1, words.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutRead(board, type, 0, 3, 0, 1, back.data(), 2), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutPoke(board, type, 0, 1, 4096, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiLutPeek(board, type, 0, 1, 4096), 0u);
  EXPECT_EQ(bfsim::LutBank(0, 0)[0], 0u);

  // A board opened anew starts with a clear LUT.
  ASSERT_EQ(CiBrdClose(board), BF_OK);
  board = Open(CISYS_TYPE_RV);
  EXPECT_EQ(bfsim::LutBank(0, 1)[1024], 0u);
  uint16_t entry = 0;
  EXPECT_EQ(CiLutRead(board, 2, 0, 1, 0, 1, &entry, 2), BF_ERR_BAD_ARG) << "no type set yet";
}

TEST_F(SimDevices, BoardModelTellsTheLutSupport) {
  Load("family=Raven model=A\nfamily=Raven model=B lut=no\nfamily=Raven model=C lut=no14\n");
  const uint32_t want[] = {Models().with_lut, Models().no_lut, Models().no_lut_14};
  for (uint32_t n = 0; n < 3; ++n) {
    Bd board = Open(CISYS_TYPE_RV, n);
    EXPECT_EQ(Inquire(board, BF_INQ_BRD_MODEL), want[n]);
    EXPECT_EQ(bfsim::Boards()[n].board_model, want[n]);
    const uint8_t type = LutType(board, 14);
    const uint16_t entry = 1;
    EXPECT_EQ(CiLutWrite(board, type, 0, 1, 0, 1, &entry, 2), n == 0 ? BF_OK : BF_ERR_BAD_BRD_TYPE);
    LutType(board, 12);
    EXPECT_EQ(CiLutPoke(board, type, 0, 1, 0, 1), n == 1 ? BF_ERR_BAD_BRD_TYPE : BF_OK);
  }
  EXPECT_EQ(bfsim::LoadSystem("family=R64 model=A lut=maybe\n"),
            "line 1: lut must be yes, no or no14");
}

TEST_F(SimDevices, ControlTableFillsTheMaskedBits) {
  Bd board = Open();
  ASSERT_EQ(CiCTabFill(board, 2, 3, 0x00FF, 0x1234), BF_OK);
  ASSERT_EQ(CiCTabFill(board, 3, 1, 0xF000, 0xA000), BF_OK);
  std::vector<uint16_t> ctab = bfsim::ControlTable(0);
  ASSERT_EQ(ctab.size(), 16384u);
  EXPECT_EQ((std::vector<uint16_t>(ctab.begin() + 1, ctab.begin() + 6)),
            (std::vector<uint16_t>{0, 0x34, 0xA034, 0x34, 0}));
  EXPECT_EQ(CiCTabFill(board, 16383, 2, 0xFFFF, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiCTabFill(board, 0xFFFFFFFF, 2, 0xFFFF, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::ControlTable(0).back(), 0u);
}

TEST_F(SimDevices, OutputsFollowTheirMaskAndLevel) {
  Load(
      "family=R64 model=A gpout=0x5A\nfamily=RoadRunner model=RR\n"
      "family=RoadRunner model=RRCL kinds=cl\nfamily=Gn2 model=G\n");
  Bd r64 = Open(CISYS_TYPE_R64);
  ASSERT_EQ(CiRegGPOutSet(r64, 0x41, 1), BF_OK);
  ASSERT_EQ(CiRegGPOutSet(r64, 0x18, 0), BF_OK);
  EXPECT_EQ(bfsim::Lines(0)->gpout, 0x43u);
  EXPECT_EQ(bfsim::Lines(0)->outputs, 0x43u);
  for (uint32_t n = 0; n < 7; ++n) {
    EXPECT_EQ(BFRegPeek(r64, Ids().gport_r64[n]), (0x43u >> n) & 1) << n;
  }
  EXPECT_EQ(BFRegPoke(r64, Ids().gport_r64[2], 1), BF_OK);
  EXPECT_EQ(BFRegPeek(r64, Ids().gport_r64[2]), 0u) << "read-back registers follow the lines";
  EXPECT_EQ(CiRegGPOutSet(r64, 0x80, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRegGPOutSet(r64, 0, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(CiRegGPOutSet(r64, 1, 2), BF_ERR_BAD_ARG);

  // A RoadRunner without Camera Link drives only lines whose enable is 1.
  Bd rr = Open(CISYS_TYPE_RR);
  ASSERT_EQ(CiRegGPOutSet(rr, 0x3, 1), BF_OK);
  EXPECT_EQ(bfsim::Lines(1)->outputs, 0u);
  ASSERT_EQ(BFRegPoke(rr, Ids().out_enable[1], 1), BF_OK);
  EXPECT_EQ(bfsim::Lines(1)->outputs, 0x2u);
  EXPECT_EQ(CiRegGPOutSet(rr, 0x8, 1), BF_ERR_BAD_ARG);
  Bd rr_cl = Open(CISYS_TYPE_RR, 1);
  EXPECT_EQ(CiRegGPOutSet(rr_cl, 0x20, 1), BF_OK);
  EXPECT_EQ(CiRegGPOutSet(rr_cl, 0x40, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(bfsim::Lines(2)->outputs, 0x20u);

  if (bfsim::Version() == bfsdk::SdkVersion::kXl) {
    Bd gn2 = Open(CISYS_TYPE_GN2);
    ASSERT_EQ(CiRegGPOutSet(gn2, 0x44, 1), BF_OK);
    EXPECT_EQ(BFRegPeek(gn2, Ids().gport_gn2), 0x44u);
  }
}

TEST_F(SimDevices, InputAndCameraControlLinesShowInTheirRegisters) {
  Load(
      "family=R64 model=A kinds=cl\nfamily=RoadRunner model=RR\nfamily=Raven model=R\n"
      "family=Gn2 model=G\n");
  for (uint32_t n = 0; n < 4; ++n) bfsim::SetInputLines(n, 0b10101);
  Bd r64 = Open(CISYS_TYPE_R64);
  Bd rr = Open(CISYS_TYPE_RR);
  Bd raven = Open(CISYS_TYPE_RV);
  EXPECT_EQ(bfsim::Lines(0)->inputs, 0b10101u);
  const uint32_t levels[] = {1, 0, 1, 0};
  for (uint32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(BFRegPeek(r64, Ids().in_line[k]), levels[k]) << k;
    EXPECT_EQ(BFRegPeek(raven, Ids().in_line[k]), levels[k]) << k;
  }
  EXPECT_EQ(BFRegPeek(r64, Ids().in_r64_4), 1u);
  EXPECT_EQ(BFRegPeek(raven, Ids().in_r64_4), 0u) << "only R64 boards have input 4";
  EXPECT_EQ(BFRegPeek(rr, Ids().in_rr), 1u);
  bfsim::SetInputLines(0, 0b00010);
  EXPECT_EQ(BFRegPeek(r64, Ids().in_line[0]), 0u);
  EXPECT_EQ(BFRegPeek(r64, Ids().in_line[1]), 1u);
  ASSERT_EQ(BFRegPoke(r64, Ids().in_line[1], 0), BF_OK);
  EXPECT_EQ(BFRegPeek(r64, Ids().in_line[1]), 1u) << "inputs are read-only";
  if (bfsim::Version() == bfsdk::SdkVersion::kXl) {
    Bd gn2 = Open(CISYS_TYPE_GN2);
    EXPECT_EQ(BFRegPeek(gn2, Ids().in_gn2[4]), 1u);
    EXPECT_EQ(BFRegPeek(gn2, Ids().in_gn2[1]), 0u);
  }

  // Camera-control lines: three bits, Camera Link boards only.
  ASSERT_EQ(BFRegPoke(r64, Ids().cc[0], 5), BF_OK);
  ASSERT_EQ(BFRegPoke(r64, Ids().cc[2], 0xF), BF_OK);
  EXPECT_EQ(bfsim::Lines(0)->cc[0], 5u);
  EXPECT_EQ(bfsim::Lines(0)->cc[2], 7u);
  ASSERT_EQ(BFRegPoke(raven, Ids().cc[0], 5), BF_OK);
  EXPECT_EQ(bfsim::Lines(2)->cc[0], 0u);
}

TEST_F(SimDevices, TimingGeneratorValidatesBeforeItChanges) {
  Load("family=R64 model=A\nfamily=Raven model=R\nfamily=Raven model=RT timing=yes\n");
  Bd board = Open();
  double exposure = 0, period = 0;
  uint32_t mode = 9, polarity = 9, output = 9;
  ASSERT_EQ(CiConExposureControlGet(board, &exposure, &period, &mode, &polarity, &output), BF_OK);
  EXPECT_EQ(exposure, 1000.0);
  EXPECT_EQ(period, 10000.0);
  EXPECT_EQ(mode, 0u);
  EXPECT_EQ(polarity, 1u);
  EXPECT_EQ(output, 0u);

  ASSERT_EQ(CiConExposureControlSet(board, 1.5, 10, 1, 0, 0xFF), BF_OK);
  struct Refused {
    double exposure, period;
    uint32_t mode, polarity, output;
    BFRC code;
  };
  for (const Refused &r :
       {Refused{1, 10, 3, 1, 0, BF_NTG_BAD_MODE}, Refused{-1, 10, 0, 1, 0, BF_NTG_OUT_OF_RANGE},
        Refused{1, 0.5, 0, 1, 0, BF_NTG_OUT_OF_RANGE},
        Refused{1, 2e7, 0, 1, 0, BF_NTG_OUT_OF_RANGE},
        Refused{std::nan(""), 10, 0, 1, 0, BF_NTG_OUT_OF_RANGE},
        Refused{1, 10, 0, 2, 0, BF_NTG_OUT_OF_RANGE},
        Refused{1, 10, 0, 1, 0x100, BF_NTG_OUT_OF_RANGE},
        Refused{11, 10, 0, 1, 0, BF_NTG_EXPOSURE_LONG}}) {
    EXPECT_EQ(CiConExposureControlSet(board, r.exposure, r.period, r.mode, r.polarity, r.output),
              r.code);
  }
  const std::optional<bfsim::TimingDesc> timing = bfsim::TimingGenerator(0);
  ASSERT_TRUE(timing);
  EXPECT_EQ(timing->exposure, 1.5);
  EXPECT_EQ(timing->period, 10.0);
  EXPECT_EQ(timing->trig_mode, 1u);
  EXPECT_EQ(timing->assert_high, 0u);
  EXPECT_EQ(timing->output, 0xFFu);
  EXPECT_EQ(CiConExposureControlGet(board, &exposure, nullptr, &mode, &polarity, &output),
            BF_ERR_BAD_ARG);

  // Ravens have no timing generator unless the system file gives them one.
  Bd raven = Open(CISYS_TYPE_RV);
  EXPECT_EQ(CiConExposureControlSet(raven, 1, 10, 0, 1, 0), BF_NTG_NOT_SUPPORTED);
  EXPECT_EQ(CiConExposureControlGet(raven, &exposure, &period, &mode, &polarity, &output),
            BF_NTG_NOT_SUPPORTED);
  EXPECT_FALSE(bfsim::TimingGenerator(1));
  EXPECT_FALSE(bfsim::Boards()[1].timing_generator);
  EXPECT_EQ(CiConExposureControlSet(Open(CISYS_TYPE_RV, 1), 1, 10, 0, 1, 0), BF_OK);
  EXPECT_EQ(bfsim::LoadSystem("family=R64 model=A timing=1\n"), "line 1: timing must be yes or no");
}

TEST_F(SimDevices, Gn2TriggerRegisterHandsTheTriggerToSoftware) {
  if (bfsim::Version() != bfsdk::SdkVersion::kXl) GTEST_SKIP() << "Gn2 registers: xl version";
  Load("family=Gn2 model=G\n");
  Bd board = OpenCamera(ShippedCamera("gray8.cam"), CISYS_TYPE_GN2);
  BuildRing(board, 2);
  ASSERT_EQ(CiConAqCommand(board, BF_CONAQ_GRAB, 0), BF_OK);
  ASSERT_EQ(CiConSwTrig(board, 1, 17), BF_OK);
  EXPECT_EQ(bfsim::FramesProduced(0), 0u) << "a free-running camera ignores software triggers";
  ASSERT_EQ(BFRegPoke(board, Ids().gn2_trigger, 8), BF_OK);
  ASSERT_EQ(CiConSwTrig(board, 1, 17), BF_OK);
  ASSERT_EQ(CiConSwTrig(board, 1, 17), BF_OK);
  EXPECT_EQ(bfsim::FramesProduced(0), 2u);
  ASSERT_EQ(BFRegPoke(board, Ids().gn2_trigger, 0), BF_OK);
  ASSERT_EQ(CiConSwTrig(board, 1, 17), BF_OK);
  EXPECT_EQ(bfsim::FramesProduced(0), 2u);
}

TEST_F(SimDevices, EncoderDividersHoldTenBits) {
  Bd board = Open();
  ASSERT_EQ(BFRegPoke(board, Ids().enc_div_r64, 0x7FF), BF_OK);
  EXPECT_EQ(BFRegPeek(board, Ids().enc_div_r64), 0x3FFu);
}

TEST_F(SimDevices, CxpCameraRegisters) {
  Load("family=Gn2 model=X kinds=cxp\nfamily=Gn2 model=G\n");
  Bd cxp = Open(CISYS_TYPE_GN2);
  Bd plain = Open(CISYS_TYPE_GN2, 1);
  uint32_t value = 0;
  ASSERT_EQ(BFCXPReadReg(cxp, 255, 0x0000, &value), BF_OK);
  EXPECT_EQ(value, 0x43585053u);
  ASSERT_EQ(BFCXPWriteReg(cxp, 255, 0x1000, 0xABCD), BF_OK);
  ASSERT_EQ(BFCXPWriteReg(cxp, 0, 0x10FC, 7), BF_OK);
  ASSERT_EQ(BFCXPReadReg(cxp, 255, 0x1000, &value), BF_OK);
  EXPECT_EQ(value, 0xABCDu);
  EXPECT_EQ(bfsim::CxpRegister(0, 0x10FC), 7u);

  EXPECT_EQ(BFCXPWriteReg(cxp, 255, 0x0004, 1), BF_ERR_BAD_ARG) << "identity is read-only";
  EXPECT_EQ(BFCXPReadReg(cxp, 255, 0x1100, &value), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFCXPReadReg(cxp, 255, 0x1002, &value), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFCXPReadReg(cxp, 255, 0x0C, &value), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFCXPReadReg(cxp, 4, 0x1000, &value), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFCXPReadReg(cxp, 255, 0x1000, nullptr), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFCXPReadReg(plain, 255, 0x1000, &value), BF_ERR_BAD_BRD_TYPE);
  bfsim::SetCameraConnected(0, false);
  EXPECT_EQ(BFCXPReadReg(cxp, 255, 0x1000, &value), BF_ERR_NO_CAMERA);

  // The control API reaches every register, read-only ones included.
  EXPECT_TRUE(bfsim::SetCxpRegister(0, 0x0004, 0x20000));
  EXPECT_FALSE(bfsim::SetCxpRegister(0, 0x2000, 1));
  EXPECT_EQ(bfsim::CxpRegister(0, 0x0004), 0x20000u);
  EXPECT_FALSE(bfsim::CxpRegister(0, 0x2000));
}

}  // namespace
}  // namespace bfsim_test
