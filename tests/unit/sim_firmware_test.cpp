// The simulated SDK's firmware images, flash requests and version numbers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bfsdk_regs.hpp"
#include "sim_fixture.hpp"

namespace bfsim_test {
namespace {

constexpr std::string_view kFirmwareSystem =
    "family=R64 model=NEON-Q kinds=cl,neon_switchable firmware=Base.bfml,Quad.bfml\n"
    "family=R64 model=R64-CL kinds=cl\n";

class SimFirmware : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Load(kFirmwareSystem);
  }
  std::string Current(Bd board, uint32_t size = 1024) {
    std::string text(size, 'x');
    EXPECT_EQ(BFGetCurrentFimwareName(board, "MUX", text.data(), size), BF_OK);
    return text.c_str();
  }
  static BFFLASHREQUEST Request(const char *file) {
    BFFLASHREQUEST request{};
    request.kind = BF_FLASH_KIND_SWITCH;
    std::strncpy(request.file_name, file, sizeof request.file_name - 1);
    return request;
  }
};

TEST_F(SimFirmware, FlashRequestsSwitchAmongTheBoardsFiles) {
  Bd neon = Open(CISYS_TYPE_R64, 0);
  EXPECT_EQ(Current(neon), "Base.bfml");
  BFFLASHREQUEST request = Request("Quad.bfml");
  EXPECT_EQ(BFFlashRequest(neon, &request), BF_OK);
  EXPECT_EQ(Current(neon), "Quad.bfml");
  // The driver's folder is implied: a path names its last component.
  request = Request("C:\\Windows\\System32\\Drivers\\BitFlowFlash\\Base.bfml");
  EXPECT_EQ(BFFlashRequest(neon, &request), BF_OK);
  EXPECT_EQ(bfsim::CurrentFirmware(0), "Base.bfml");

  request = Request("Other.bfml");
  EXPECT_EQ(BFFlashRequest(neon, &request), BF_ERR_FLASH_FILE);
  request = Request("Quad.bfml");
  request.kind = 12;
  EXPECT_EQ(BFFlashRequest(neon, &request), BF_ERR_BAD_ARG);
  request = Request("Quad.bfml");
  std::memset(request.file_name, 'q', sizeof request.file_name);  // no terminator
  EXPECT_EQ(BFFlashRequest(neon, &request), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFFlashRequest(neon, nullptr), BF_ERR_BAD_ARG);
  bfsim::RefuseFlashRequests(0, 0x4711);
  request = Request("Quad.bfml");
  EXPECT_EQ(BFFlashRequest(neon, &request), 0x4711u);
  EXPECT_EQ(Current(neon), "Base.bfml");
  bfsim::RefuseFlashRequests(0, 0);
  EXPECT_EQ(BFFlashRequest(neon, &request), BF_OK);

  // Flashed firmware outlives the handle; a new system starts afresh.
  ASSERT_EQ(CiBrdClose(neon), BF_OK);
  neon = Open(CISYS_TYPE_R64, 0);
  EXPECT_EQ(Current(neon), "Quad.bfml");
  Load(kFirmwareSystem);
  EXPECT_EQ(bfsim::CurrentFirmware(0), "Base.bfml");
  EXPECT_EQ(bfsim::CurrentFirmware(2), std::nullopt);
}

TEST_F(SimFirmware, BoardsThatCannotSwitchKeepTheirOneImage) {
  Bd plain = Open(CISYS_TYPE_R64, 1);
  EXPECT_EQ(BFIsNeonQ(plain), 0u);
  EXPECT_EQ(Current(plain), "R64-CL.fw");
  BFFLASHREQUEST request = Request("R64-CL.fw");
  EXPECT_EQ(BFFlashRequest(plain, &request), BF_ERR_BAD_BRD_TYPE);
  EXPECT_NE(BFIsNeonQ(Open(CISYS_TYPE_R64, 0)), 0u);
}

// The flash registers are plain registers of the board: the request does not
// touch them, the caller raises and clears the switch.
TEST_F(SimFirmware, FlashRegistersHoldWhatIsWritten) {
  Bd neon = Open(CISYS_TYPE_R64, 0);
  const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(bfsim::Version());
  ASSERT_EQ(BFRegPoke(neon, ids.flash_switch, 1), BF_OK);
  BFFLASHREQUEST request = Request("Quad.bfml");
  ASSERT_EQ(BFFlashRequest(neon, &request), BF_OK);
  EXPECT_EQ(BFRegPeek(neon, ids.flash_switch), 1u);
  ASSERT_EQ(BFRegPoke(neon, ids.fw_freeze, 1), BF_OK);
  EXPECT_EQ(bfsim::PeekRegister(0, ids.fw_freeze), 1u);
}

TEST_F(SimFirmware, NameCopiesHonourTheSize) {
  Bd neon = Open(CISYS_TYPE_R64, 0);
  EXPECT_EQ(Current(neon, 10), "Base.bfml");  // exactly fits with its NUL
  char small[9];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(BFGetCurrentFimwareName(neon, "MUX", small, sizeof small), BF_ERR_BAD_ARG);
  EXPECT_EQ(small[0], '\0');
  EXPECT_EQ(small[1], 'x');  // nothing written beyond what was needed
  char text[64] = "unchanged";
  EXPECT_EQ(BFGetCurrentFimwareName(neon, "MUX", text, 0), BF_ERR_BAD_ARG);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(BFGetCurrentFimwareName(neon, "FPGA", text, sizeof text), BF_ERR_BAD_ARG);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(BFGetCurrentFimwareName(neon, nullptr, text, sizeof text), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFGetCurrentFimwareName(nullptr, "MUX", text, sizeof text), BF_ERR_BAD_ARG);
}

TEST_F(SimFirmware, SystemFileFirmwareListsAreChecked) {
  const std::string line = "family=R64 model=N kinds=neon_switchable firmware=";
  EXPECT_EQ(bfsim::LoadSystem(line + "a,,b\n"), "line 1: firmware names must not be empty");
  EXPECT_EQ(bfsim::LoadSystem(line + "a,\n"), "line 1: firmware names must not be empty");
  EXPECT_EQ(bfsim::LoadSystem(line + "a,b,a\n"), "line 1: firmware 'a' listed twice");
  EXPECT_EQ(bfsim::LoadSystem(line + "1,2,3,4,5,6,7,8,9\n"), "line 1: more than 8 firmware files");
  EXPECT_EQ(bfsim::LoadSystem(line + "1,2,3,4,5,6,7,8\n"), "");
}

TEST_F(SimFirmware, VersionNumbersPerSdkVersionUntilSet) {
  uint32_t major = 0, minor = 0, build = 0;
  ASSERT_EQ(BFDVersion(&major, &minor), BF_OK);
  ASSERT_EQ(BFBuildNumber(&build), BF_OK);
  const bool xl = bfsim::Version() == bfsdk::SdkVersion::kXl;
  EXPECT_EQ(major, xl ? 6u : 5u);
  EXPECT_NE(build, 0u);
  bfsim::SetSdkVersion(0x80000006u, 0x12);
  bfsim::SetSdkBuild(77);
  ASSERT_EQ(BFDVersion(&major, &minor), BF_OK);
  ASSERT_EQ(BFBuildNumber(&build), BF_OK);
  EXPECT_EQ(major, 0x80000006u);
  EXPECT_EQ(minor, 0x12u);
  EXPECT_EQ(build, 77u);
  EXPECT_EQ(BFDVersion(nullptr, &minor), BF_ERR_BAD_ARG);
  EXPECT_EQ(BFBuildNumber(nullptr), BF_ERR_BAD_ARG);
  bfsim::Reset();
  ASSERT_EQ(BFDVersion(&major, &minor), BF_OK);
  EXPECT_EQ(major, xl ? 6u : 5u);
}

}  // namespace
}  // namespace bfsim_test
