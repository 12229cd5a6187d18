// Register tables of the SDK versions and the register file of a board.
#include <cctype>
#include <set>

#include "sim_fixture.hpp"

namespace bfsim_test {
namespace {

using SimRegisters = SimTest;

const bfsdk::RegisterIds &Ids() { return bfsdk::RegistersOf(bfsim::Version()); }

// The plug-in's way to find a register: walk the searchable range, asking
// whether the board has each one and comparing names without case.
std::optional<uint32_t> SearchByName(Bd board, std::string_view wanted) {
  char name[1024];
  for (uint32_t id = 0; id < Ids().count; ++id) {
    if (!BFRegSupported(board, id) || BFRegName(board, id, name, sizeof name) != BF_OK) continue;
    std::string_view have(name);
    if (have.size() == wanted.size() &&
        std::equal(have.begin(), have.end(), wanted.begin(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) ==
                 std::tolower(static_cast<unsigned char>(y));
        })) {
      return id;
    }
  }
  return std::nullopt;
}

TEST_F(SimRegisters, TableSizeAndNamesDependOnTheVersion) {
  std::vector<std::string> names = bfsim::RegisterNames();
  switch (bfsim::Version()) {
    case bfsdk::SdkVersion::kXl:
      EXPECT_EQ(Ids().count, 3647u);
      EXPECT_EQ(names.size(), 3647u);
      EXPECT_EQ(names[1921], "ENCODER_COUNT");
      EXPECT_EQ(names[2724], "GN2_STATUS_A");
      EXPECT_EQ(names[2454], "CXP_LINK_2");
      break;
    case bfsdk::SdkVersion::kPar:
      EXPECT_EQ(Ids().count, 3323u);
      EXPECT_EQ(names.size(), 3323u);
      EXPECT_EQ(names[2074], "ENCODER_COUNT");
      EXPECT_EQ(names[1642], "RV_STATUS_A");
      EXPECT_EQ(names[1921], "REG_1921");
      break;
    case bfsdk::SdkVersion::kStandard:
      EXPECT_EQ(Ids().count, 2165u);
      EXPECT_EQ(names.size(), 2165u);
      EXPECT_EQ(names[1390], "ENCODER_COUNT");
      EXPECT_EQ(names[1904], "ALTA_CONNECTED");
      EXPECT_EQ(names[2164], "REG_2164");
      break;
  }
  EXPECT_EQ(names[Ids().trig_capability], "TRIG_CAPABILITY");
  EXPECT_EQ(names[Ids().lut_switch], "LUT_SWITCH");
  EXPECT_EQ(names[Ids().acq_status_a], "ACQ_STATUS_A");
  EXPECT_EQ(names[0], "REG_0000");
  std::set<std::string> unique;
  for (const std::string &name : names) {
    if (!name.empty()) {
      EXPECT_TRUE(unique.insert(name).second) << name;
    }
  }
  EXPECT_EQ(bfsim::RegisterByName("ENCODER_COUNT"), Ids().encoder_count);
  EXPECT_EQ(bfsim::RegisterByName("encoder_count"), std::nullopt);  // exact case
}

TEST_F(SimRegisters, NameSearchIsBoundedByTheCount) {
  Load("family=R64 model=ALTA kinds=cl,alta\n");
  Bd board = Open();
  EXPECT_EQ(SearchByName(board, "encoder_count"), Ids().encoder_count);
  EXPECT_EQ(SearchByName(board, "Lut_Switch"), Ids().lut_switch);
  EXPECT_EQ(SearchByName(board, "NO_SUCH_REGISTER"), std::nullopt);
  bfsim::PokeRegister(0, Ids().alta_connected, 1);
  EXPECT_EQ(BFRegPeek(board, Ids().alta_connected), 1u);  // peekable in every version
  if (Ids().alta_connected >= Ids().count) {
    EXPECT_EQ(SearchByName(board, "ALTA_CONNECTED"), std::nullopt);
  } else {
    EXPECT_EQ(SearchByName(board, "ALTA_CONNECTED"), Ids().alta_connected);
  }
}

TEST_F(SimRegisters, PokeAndReadModifyWriteKeepValues) {
  Bd board = Open();
  const uint32_t id = Ids().encoder_count;
  EXPECT_EQ(BFRegPeek(board, id), 0u);
  EXPECT_EQ(BFRegPoke(board, id, 0x12345678), BF_OK);
  EXPECT_EQ(BFRegPeek(board, id), 0x12345678u);
  EXPECT_EQ(BFRegRMW(board, id, 0xABCD00FF, 0x0000FFF0), BF_OK);
  EXPECT_EQ(BFRegPeek(board, id), 0x123400F8u);
  EXPECT_EQ(bfsim::PeekRegister(0, id), 0x123400F8u);
  bfsim::PokeRegister(0, id, 7);
  EXPECT_EQ(BFRegPeek(board, id), 7u);
  EXPECT_EQ(BFRegPoke(nullptr, id, 1), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFRegPeek(nullptr, id), 0u);

  // Registers come back to their reset values when the board is opened anew.
  ASSERT_EQ(CiBrdClose(board), BF_OK);
  board = Open();
  EXPECT_EQ(BFRegPeek(board, id), 0u);
}

// Reads a test programs: in turn, the last one staying, then through a hook
// that may drive the simulator itself; the register file keeps its own value.
TEST_F(SimRegisters, ProgrammedReadsComeInTurnAndThroughTheHook) {
  Bd board = Open();
  const uint32_t id = Ids().encoder_count;
  const uint32_t other = Ids().enc_div_r64;
  ASSERT_EQ(BFRegPoke(board, id, 9), BF_OK);
  bfsim::SetRegisterReadSequence(0, id, {3, 2, 0});
  bfsim::SetRegisterReadSequence(1, id, {5});  // another board's
  std::vector<uint32_t> reads;
  for (int i = 0; i < 4; ++i) reads.push_back(BFRegPeek(board, id));
  EXPECT_EQ(reads, (std::vector<uint32_t>{3, 2, 0, 0}));
  EXPECT_EQ(bfsim::PeekRegister(0, id), 9u);
  EXPECT_EQ(BFRegPeek(board, other), 0u);

  ASSERT_EQ(BFRegPoke(board, other, 40), BF_OK);
  std::vector<uint32_t> seen;
  bfsim::SetRegisterReadHook(0, id, [&](uint32_t value) {
    seen.push_back(value);
    return value + bfsim::PeekRegister(0, other);  // no simulator lock is held
  });
  EXPECT_EQ(BFRegPeek(board, id), 40u);
  bfsim::SetRegisterReadSequence(0, id, {});
  EXPECT_EQ(BFRegPeek(board, id), 49u);
  EXPECT_EQ(seen, (std::vector<uint32_t>{0, 9}));
  bfsim::SetRegisterReadHook(0, id, nullptr);
  EXPECT_EQ(BFRegPeek(board, id), 9u);

  bfsim::SetRegisterReadSequence(0, id, {7});
  bfsim::Reset();
  EXPECT_EQ(BFRegPeek(Open(), id), 0u);
}

TEST_F(SimRegisters, UnknownIdentifiersReadZeroAndIgnorePokes) {
  Bd board = Open();
  for (uint32_t id : {uint32_t{5000}, uint32_t{0xFFFFFFFF}}) {
    EXPECT_EQ(BFRegPoke(board, id, 0xFFFFFFFF), BF_OK);
    EXPECT_EQ(BFRegRMW(board, id, 1, 1), BF_OK);
    EXPECT_EQ(BFRegPeek(board, id), 0u);
    EXPECT_EQ(BFRegSupported(board, id), 0u);
    char name[32] = "x";
    EXPECT_EQ(BFRegName(board, id, name, sizeof name), BF_ERR_BAD_ARG);
    EXPECT_STREQ(name, "");
  }
}

TEST_F(SimRegisters, CapabilityBitsDependOnTheBoardAndResistPokes) {
  Load(
      "family=RoadRunner model=RR\nfamily=R64 model=R\nfamily=Gn2 model=G\n"
      "family=R64 model=R2 trigger_any=yes\n");
  const uint32_t trig = Ids().trig_capability;
  const uint32_t lut = Ids().lut_switch;
  Bd rr = Open(CISYS_TYPE_RR);
  Bd r64 = Open(CISYS_TYPE_R64);
  Bd gn2 = Open(CISYS_TYPE_GN2);
  EXPECT_EQ(BFRegPeek(rr, trig), 1u << 30);
  EXPECT_EQ(BFRegPeek(r64, trig), 0u);
  EXPECT_EQ(BFRegPeek(gn2, trig), 0u);
  EXPECT_EQ(BFRegPeek(Open(CISYS_TYPE_R64, 1), trig), 1u << 30);
  EXPECT_EQ(BFRegPeek(r64, lut), 1u << 26);
  EXPECT_EQ(BFRegPeek(rr, lut), 0u);

  // The LUT enable bit is the plug-in's to set; bit 26 stays the board's.
  EXPECT_EQ(BFRegRMW(r64, lut, 0x800000, 0x800000), BF_OK);
  EXPECT_EQ(BFRegPeek(r64, lut), (1u << 26) | 0x800000u);
  EXPECT_EQ(BFRegPoke(r64, lut, 0), BF_OK);
  EXPECT_EQ(BFRegPeek(r64, lut), 1u << 26);
  EXPECT_EQ(BFRegPoke(r64, trig, 0xFFFFFFFF), BF_OK);
  EXPECT_EQ(BFRegPeek(r64, trig), 0xFFFFFFFFu & ~(1u << 30));
}

TEST_F(SimRegisters, SupportDependsOnFamilyAndKind) {
  Load(kMixedSystem);
  Bd rr = Open(CISYS_TYPE_RR);
  Bd cxp = Open(CISYS_TYPE_GN2, 0);
  Bd gn2 = Open(CISYS_TYPE_GN2, 1);
  EXPECT_EQ(BFRegSupported(rr, Ids().encoder_count), 1u);
  EXPECT_EQ(BFRegSupported(rr, 0), 1u);
  EXPECT_EQ(BFRegSupported(rr, Ids().enc_div_r64), 0u);
  if (Ids().gn2_status_a != bfsdk::kNoRegister) {
    EXPECT_EQ(BFRegSupported(gn2, Ids().gn2_status_a), 1u);
    EXPECT_EQ(BFRegSupported(rr, Ids().gn2_status_a), 0u);
    EXPECT_EQ(BFRegPoke(rr, Ids().gn2_status_a, 5), BF_OK);
    EXPECT_EQ(BFRegPeek(rr, Ids().gn2_status_a), 0u);
  }
  if (Ids().cxp_link[0] != bfsdk::kNoRegister) {
    EXPECT_EQ(BFRegSupported(cxp, Ids().cxp_link[0]), 1u);
    EXPECT_EQ(BFRegSupported(gn2, Ids().cxp_link[0]), 0u);
    EXPECT_EQ(BFRegPoke(cxp, Ids().cxp_link[3], 9), BF_OK);
    EXPECT_EQ(BFRegPeek(cxp, Ids().cxp_link[3]), 1u);  // driven by the board: a camera is there
  }
  if (Ids().rv_status_a != bfsdk::kNoRegister) {
    EXPECT_EQ(BFRegSupported(Open(CISYS_TYPE_RV), Ids().rv_status_a), 1u);
    EXPECT_EQ(BFRegSupported(rr, Ids().rv_status_a), 0u);
  }
  EXPECT_EQ(BFRegSupported(nullptr, 0), 0u);
}

TEST_F(SimRegisters, NameMustFitTheBuffer) {
  Bd board = Open();
  char name[16] = "junk";
  const uint32_t id = Ids().trig_capability;  // "TRIG_CAPABILITY": 15 characters
  EXPECT_EQ(BFRegName(board, id, name, 16), BF_OK);
  EXPECT_STREQ(name, "TRIG_CAPABILITY");
  EXPECT_EQ(BFRegName(board, id, name, 15), BF_ERR_BAD_ARG);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(BFRegName(board, id, name, 0), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFRegName(board, id, nullptr, 16), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFRegName(nullptr, id, name, 16), BF_ERR_BAD_ARG);
}

}  // namespace
}  // namespace bfsim_test
