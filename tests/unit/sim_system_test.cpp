// The simulated system: the system file, board enumeration and look-up.
#include <cstdlib>
#include <fstream>

#include "sim_fixture.hpp"
#include "support/test_os.hpp"

namespace bfsim_test {
namespace {

using SimSystem = SimTest;

TEST_F(SimSystem, DefaultIsOneTwoPortR64CameraLinkBoard) {
  std::vector<bfsim::BoardDesc> boards = bfsim::Boards();
  ASSERT_EQ(boards.size(), 1u);
  EXPECT_EQ(boards[0].family, uint32_t{CISYS_TYPE_R64});
  EXPECT_EQ(boards[0].model, "R64-CL");
  EXPECT_TRUE(boards[0].camera_link);
  EXPECT_FALSE(boards[0].karbon || boards[0].neon || boards[0].alta || boards[0].cxp);
  EXPECT_EQ(boards[0].ports, 2u);
  EXPECT_FALSE(boards[0].trigger_any_camera);
  EXPECT_FALSE(boards[0].open);
  EXPECT_EQ(bfsim::SystemError(), "");
}

TEST_F(SimSystem, FileGivesEveryField) {
  Load(
      "  # a comment line\n"
      "\n"
      "family=gn2 model=GN2-CXP code=0x2A kinds=cxp ports=4 switch=3 connector=7 "
      "camera=cameras/x.cam trigger_any=yes link=reduced held=yes   # trailing\r\n"
      "family=R64\tmodel=N kinds=neon_switchable,cl\n");
  std::vector<bfsim::BoardDesc> boards = bfsim::Boards();
  ASSERT_EQ(boards.size(), 2u);
  const bfsim::BoardDesc &g = boards[0];
  EXPECT_EQ(g.family, uint32_t{CISYS_TYPE_GN2});
  EXPECT_EQ(g.model, "GN2-CXP");
  EXPECT_EQ(g.model_code, 42u);
  EXPECT_TRUE(g.cxp);
  EXPECT_FALSE(g.camera_link);
  EXPECT_EQ(g.ports, 4u);
  EXPECT_EQ(g.switch_number, 3u);
  EXPECT_EQ(g.connector, 7u);
  EXPECT_EQ(g.camera, "cameras/x.cam");
  EXPECT_TRUE(g.trigger_any_camera);
  EXPECT_FALSE(g.link_full_speed);
  EXPECT_TRUE(g.held_elsewhere);
  const bfsim::BoardDesc &n = boards[1];
  EXPECT_TRUE(n.neon && n.neon_switchable && n.camera_link);
  EXPECT_EQ(n.ports, 1u);
  EXPECT_FALSE(n.trigger_any_camera);  // the default of the R64 family
}

TEST_F(SimSystem, TriggerAnyCameraDefaultsByFamily) {
  Load(kMixedSystem);
  std::vector<bfsim::BoardDesc> boards = bfsim::Boards();
  ASSERT_EQ(boards.size(), 6u);
  EXPECT_TRUE(boards[0].trigger_any_camera);   // RoadRunner
  EXPECT_TRUE(boards[1].trigger_any_camera);   // Raven
  EXPECT_FALSE(boards[2].trigger_any_camera);  // R64
  EXPECT_FALSE(boards[4].trigger_any_camera);  // Gn2
}

TEST_F(SimSystem, MalformedLinesAreRefusedWithTheirNumber) {
  const std::string good = "# boards\nfamily=R64 model=A\n";
  const std::pair<std::string, std::string> cases[] = {
      {"family=R64", "line 3: no model"},
      {"model=A", "line 3: no family"},
      {"family=R64 model=A cl", "line 3: 'cl' is not a key=value word"},
      {"family=R64 model=A ports=", "line 3: 'ports=' is not a key=value word"},
      {"family=R64 model=A =4", "line 3: '=4' is not a key=value word"},
      {"family=R64 model=A colour=red", "line 3: unknown key 'colour'"},
      {"family=R64 model=A model=B", "line 3: key 'model' given twice"},
      {"family=R65 model=A", "line 3: family 'R65' is not RoadRunner, Raven, R64 or Gn2"},
      {"family=R64 model=A ports=0", "line 3: ports must be from 1 to 8"},
      {"family=R64 model=A ports=9", "line 3: ports must be from 1 to 8"},
      {"family=R64 model=A ports=2x", "line 3: ports must be from 1 to 8"},
      {"family=R64 model=A code=0x1FFFFFFFF", "line 3: code '0x1FFFFFFFF' is not a 32-bit number"},
      {"family=R64 model=A switch=-1", "line 3: switch '-1' is not a 32-bit number"},
      {"family=R64 model=A kinds=cl,usb", "line 3: unknown kind 'usb'"},
      {"family=Raven model=A kinds=alta", "line 3: kind 'alta' needs family R64"},
      {"kinds=alta family=Raven model=A", "line 3: kind 'alta' needs family R64"},  // family later
      {"family=R64 model=A kinds=cxp", "line 3: kind 'cxp' needs family Gn2"},
      {"family=R64 model=A trigger_any=1", "line 3: trigger_any must be yes or no"},
      {"family=R64 model=A link=fast", "line 3: link must be full or reduced"},
      {"family=R64 model=A held=maybe", "line 3: held must be yes or no"},
      {"family=R64 model=" + std::string(32, 'M'), "line 3: model is longer than 31 characters"},
      {"family=R64 model=A\x01", "line 3: control character in the line"},
      {"family=R64 model=A " + std::string(500, ' '), "line 3: longer than 512 characters"},
  };
  for (const auto &[line, error] : cases) {
    EXPECT_EQ(bfsim::LoadSystem(good + line + "\nfamily=R64 model=B\n"), error) << line;
  }
  // A refused text leaves the system as it was.
  EXPECT_EQ(bfsim::Boards().size(), 1u);
  EXPECT_EQ(bfsim::Boards()[0].model, "R64-CL");
}

TEST_F(SimSystem, BoardCountAndFileSizeAreBounded) {
  std::string text;
  for (int i = 0; i < 17; ++i) text += "family=Raven model=R\n";
  EXPECT_EQ(bfsim::LoadSystem(text), "line 17: more than 16 boards");
  EXPECT_EQ(bfsim::LoadSystem(std::string(70000, '#')),
            "line 1: the file is longer than 65536 bytes");
  EXPECT_EQ(bfsim::LoadSystem("# nothing installed\n"), "");
  uint32_t count = 99;
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, &count), BF_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(SimSystem, ResetReadsTheFileNamedByTheEnvironment) {
  const std::string path = ::testing::TempDir() + "sim_system_env.txt";
  std::ofstream(path) << "family=Raven model=RV-ENV\n";
  ::grabline::testing::SetEnv("GRABLINE_SIM_SYSTEM", path.c_str());
  bfsim::Reset();
  ASSERT_EQ(bfsim::Boards().size(), 1u);
  EXPECT_EQ(bfsim::Boards()[0].model, "RV-ENV");

  // A broken file gives no boards and says why, rather than a default board.
  std::ofstream(path) << "family=Raven model=RV\nfamily=Raven\n";
  bfsim::Reset();
  EXPECT_TRUE(bfsim::Boards().empty());
  EXPECT_EQ(bfsim::SystemError(), "system file " + path + ": line 2: no model");

  ::grabline::testing::SetEnv("GRABLINE_SIM_SYSTEM", (path + ".missing").c_str());
  bfsim::Reset();
  EXPECT_EQ(bfsim::SystemError(), "system file " + path + ".missing: cannot be read");
  ::grabline::testing::SetEnv("GRABLINE_SIM_SYSTEM", nullptr);
  bfsim::Reset();
  EXPECT_EQ(bfsim::Boards().size(), 1u);
}

TEST_F(SimSystem, EnumerateAndFindByFamilyAndIndex) {
  Load("family=R64 model=A\nfamily=Raven model=B\nfamily=R64 model=C\n");
  uint32_t count = 0;
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, &count), BF_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_GN2, &count), BF_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64 | CISYS_TYPE_RV, &count), BF_ERR_BAD_BRD_TYPE);
  EXPECT_EQ(CiSysBrdEnum(CISYS_TYPE_R64, nullptr), BF_ERR_BAD_ARG);

  // The second R64 is the third board: opening its entry gives that board.
  Bd board = Open(CISYS_TYPE_R64, 1);
  uint32_t model = 0;
  EXPECT_EQ(CiBrdInquire(board, BF_INQ_MODEL, &model), BF_OK);
  EXPECT_TRUE(bfsim::Boards()[2].open);
  EXPECT_FALSE(bfsim::Boards()[0].open);
  EXPECT_EQ(bfsim::Boards()[2].index, 1u);

  CiENTRY entry;
  EXPECT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 2, &entry), BF_ERR_NO_BOARD);
  EXPECT_EQ(CiSysBrdFind(CISYS_TYPE_RR, 0, &entry), BF_ERR_NO_BOARD);
  EXPECT_EQ(CiSysBrdFind(48, 0, &entry), BF_ERR_BAD_BRD_TYPE);
  EXPECT_EQ(CiSysBrdFind(CISYS_TYPE_RV, 0, nullptr), BF_ERR_BAD_ARG);
}

TEST_F(SimSystem, FindBySwitchAndConnectorSearchesTheMaskedFamilies) {
  Load(kMixedSystem);
  CiENTRY entry;
  Bd board = nullptr;
  // Switch 1 connector 1 is the Karbon (an R64); switch 2 connector 1 a Gn2.
  ASSERT_EQ(CiSysBoardFindSWConnector(208, 1, 1, &entry), BF_OK);
  ASSERT_EQ(CiBrdOpen(&entry, &board, 321, "default"), BF_OK);
  EXPECT_EQ(BFIsKbn(board), 1u);
  EXPECT_EQ(CiSysBoardFindSWConnector(208, 2, 1, &entry), BF_OK);
  EXPECT_EQ(CiSysBoardFindSWConnector(112, 2, 1, &entry), BF_ERR_NO_BOARD);  // no Gn2 there
  EXPECT_EQ(CiSysBoardFindSWConnector(CISYS_TYPE_RV, 1, 0, &entry), BF_ERR_NO_BOARD);
  EXPECT_EQ(CiSysBoardFindSWConnector(CISYS_TYPE_RR, 1, 0, &entry), BF_OK);
  EXPECT_EQ(CiSysBoardFindSWConnector(208, 9, 9, &entry), BF_ERR_NO_BOARD);
  EXPECT_EQ(CiSysBoardFindSWConnector(1, 1, 0, &entry), BF_ERR_BAD_BRD_TYPE);
  EXPECT_EQ(CiSysBoardFindSWConnector(208, 1, 0, nullptr), BF_ERR_BAD_ARG);
}

TEST_F(SimSystem, EntriesOfAReplacedSystemAreRefused) {
  CiENTRY entry;
  ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), BF_OK);
  Load("family=R64 model=NEW\n");
  Bd board = nullptr;
  EXPECT_EQ(CiBrdOpen(&entry, &board, 257, "default"), BF_ERR_BAD_ARG);
  CiENTRY garbage{};
  EXPECT_EQ(CiBrdOpen(&garbage, &board, 257, "default"), BF_ERR_BAD_ARG);
  EXPECT_EQ(board, nullptr);
  EXPECT_FALSE(bfsim::Boards()[0].open);
}

}  // namespace
}  // namespace bfsim_test
