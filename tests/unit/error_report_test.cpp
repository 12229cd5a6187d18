// The SDK result check, printing under the host's switch, and diagnostics.
#include "plugin/error_report.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bfsim_control.hpp"
#include "board/records.hpp"
#include "platform/build_profile.hpp"
#include "support/test_os.hpp"
#include "tarvel_host.hpp"

namespace grabline {
namespace {

class ErrorReport : public ::testing::Test {
 protected:
  void SetUp() override {
    bfsim::Reset();
    tarvel::ClearLogs();
    tarvel::SetLowError(true);
  }
  void TearDown() override {
    tarvel::SetLowError(false);
    if (board_ != nullptr) CiBrdClose(board_);
  }
  Bd OpenBoard() {
    CiENTRY entry{};
    EXPECT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), 0u);
    EXPECT_EQ(CiBrdOpen(&entry, &board_, 257, "default"), 0u);
    return board_;
  }
  InstanceRecord record_;
  Bd board_ = nullptr;
};

TEST_F(ErrorReport, ZeroIsNotReported) {
  EXPECT_EQ(SdkCheck(nullptr, &record_, 0), 0u);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(ErrorReport, BeforeTheBoardIsOpenTheTextIsPrinted) {
  EXPECT_EQ(SdkCheck(nullptr, &record_, 4295), 4295u);
  EXPECT_EQ(SdkCheck(nullptr, &record_, 4296), 4296u);
  EXPECT_EQ(SdkCheck(nullptr, &record_, 0x10000001u), 0x10000001u);
  EXPECT_EQ(SdkCheck(nullptr, &record_, 7), 7u);
  EXPECT_EQ(SdkCheck(nullptr, &record_, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(
      tarvel::PrintedMessages(),
      (std::vector<std::string>{
          "Board already opened by another process", "Board already opened by another process",
          "The board number does not exist", "UNKNOWN (code 7)", "UNKNOWN (code 4294967295)"}));
  EXPECT_TRUE(bfsim::ErrorShows().empty());
}

TEST_F(ErrorReport, NothingIsPrintedWhileLowErrorIsOff) {
  tarvel::SetLowError(false);
  EXPECT_EQ(SdkCheck(nullptr, &record_, 4296), 4296u);
  PrintError("text");
  PrintErrorf("value %d", 3);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(ErrorReport, OnAnOpenBoardTheSdkShowsItWhileShowErrorDialogIsSet) {
  Bd board = OpenBoard();
  record_.show_error_dlg = 1;
  EXPECT_EQ(SdkCheck(board, &record_, 7), 7u);
  EXPECT_EQ(bfsim::ErrorShows().size(), 1u);
  record_.show_error_dlg = 0;
  EXPECT_EQ(SdkCheck(board, &record_, 7), 7u);
  EXPECT_EQ(bfsim::ErrorShows().size(), 1u);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(ErrorReport, FormattedTextsAreCutAt1023Characters) {
  const std::string longer(3000, 'x');
  PrintErrorf("%s", longer.c_str());
  const auto printed = tarvel::PrintedMessages();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0], std::string(1023, 'x'));
}

// Diagnostics go to the SDK's debug output in the xl build and to the
// operating system's in the others.
std::vector<std::string> SentDiagnostics(const std::filesystem::path &file) {
  if constexpr (kProfile.sdk_debug_output) {
    return bfsim::DebugOutput();
  } else {
    std::ifstream in(file);
    std::stringstream all;
    all << in.rdbuf();
    return all.str().empty() ? std::vector<std::string>{} : std::vector<std::string>{all.str()};
  }
}

TEST_F(ErrorReport, DiagnosticsFollowTheInstanceSwitch) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("grabline_debug_" + std::to_string(::grabline::testing::ProcessId()) + ".txt");
  std::filesystem::remove(file);
  ::grabline::testing::SetEnv("GRABLINE_DEBUG_OUTPUT", file.string().c_str());
  record_.debug_output = 0;
  DebugOutput(record_, "Starting CG thread\n");
  EXPECT_TRUE(SentDiagnostics(file).empty());
  DebugText("Overwrite\n");  // always sent
  EXPECT_EQ(SentDiagnostics(file), std::vector<std::string>{"Overwrite\n"});
  bfsim::ClearLogs();
  std::filesystem::remove(file);
  record_.debug_output = 1;
  DebugOutput(record_, "Starting CG thread\n");
  EXPECT_EQ(SentDiagnostics(file), std::vector<std::string>{"Starting CG thread\n"});
  ::grabline::testing::SetEnv("GRABLINE_DEBUG_OUTPUT", nullptr);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace grabline
