// grabline grab end to end: the summary as JSON and the PNG files, pixel for pixel
// against the simulator's pattern, for the formats the cameras deliver.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bfsim_control.hpp"
#include "grabline/contact_sheet.hpp"
#include "support/png_read.hpp"
#include "support/tool_cli_fixture.hpp"

namespace grabline::testing {
namespace {

using ToolGrab = ToolCliTest;

// Whether `text` starts with `form`, in which '#' stands for one or more digits.
bool StartsWithForm(std::string_view text, std::string_view form) {
  size_t t = 0;
  for (const char c : form) {
    if (c != '#') {
      if (t >= text.size() || text[t++] != c) return false;
      continue;
    }
    const size_t start = t;
    while (t < text.size() && text[t] >= '0' && text[t] <= '9') ++t;
    if (t == start) return false;
  }
  return true;
}

// Frames further on than this from the last one are not searched for.
constexpr uint64_t kFrameSearch = 100000;

struct Format {
  const char *camera;
  int png_channels;
  int png_bits;
  int components[3];  // pattern component behind each PNG channel
  uint32_t bits;      // of one component
  int images;         // the plug-in delivers per grab
};

const Format kFormats[] = {
    {"gray8.cam", 1, 8, {0}, 8, 1},         {"gray12.cam", 1, 16, {0}, 12, 1},
    {"rgb36.cam", 3, 16, {2, 1, 0}, 12, 3}, {"gray20.cam", 1, 16, {0}, 20, 1},
    {"rgb24.cam", 3, 8, {2, 1, 0}, 8, 3},   {"rgb30.cam", 3, 16, {2, 1, 0}, 10, 3},
    {"rgb32.cam", 3, 8, {0, 1, 2}, 8, 4},
};

void PrintTo(const Format &format, std::ostream *out) { *out << format.camera; }

// Bits of a component the PNG keeps: the top 16 of deeper ones.
int StoredBits(const Format &format) { return std::min(int(format.bits), 16); }

// What the PNG holds for a pattern sample.
uint32_t Stored(const Format &format, uint64_t frame, uint32_t x, uint32_t y, int c) {
  const uint64_t value = bfsim::PatternValue(frame, x, y, format.components[c], format.bits);
  return static_cast<uint32_t>(value >> (int(format.bits) - StoredBits(format)));
}

bool Shows(const PngImage &png, const Format &format, uint64_t frame, bool every_pixel) {
  const uint32_t probes[][2] = {{0, 0}, {1, 0}, {0, 1}, {png.width - 1, png.height - 1}};
  for (int c = 0; c < png.channels; ++c) {
    for (const auto &p : probes) {
      if (png.At(p[0], p[1], c) != Stored(format, frame, p[0], p[1], c)) return false;
    }
    if (!every_pixel) continue;
    for (uint32_t y = 0; y < png.height; ++y) {
      for (uint32_t x = 0; x < png.width; ++x) {
        if (png.At(x, y, c) != Stored(format, frame, x, y, c)) return false;
      }
    }
  }
  return true;
}

// The frame whose pattern fills the image, after `previous` if given. The pattern
// repeats after 2^bits frames, so the search ends before `previous` comes round
// again: a frame found is another frame.
std::optional<uint64_t> FrameShown(const PngImage &png, const Format &format,
                                   std::optional<uint64_t> previous) {
  const uint64_t period = uint64_t{1} << format.bits;  // bits < 32
  const uint64_t first = previous ? *previous + 1 : 0;
  const uint64_t end = (previous ? *previous : 0) + std::min(period, kFrameSearch);
  for (uint64_t frame = first; frame < end; ++frame) {
    if (Shows(png, format, frame, false) && Shows(png, format, frame, true)) return frame;
  }
  return std::nullopt;
}

class ToolGrabFormats : public ToolGrab, public ::testing::WithParamInterface<Format> {};

TEST_P(ToolGrabFormats, SavedFramesShowThePatternOfSuccessiveFrames) {
  const Format &format = GetParam();
  ProcessResult result =
      Own("grab", {"--camera", format.camera, "--frames", "2", "--json", "--out", Path("out")});
  ASSERT_EQ(result.status, 0) << result.err;
  std::optional<nlohmann::json> summary = ParseJsonObject(result.out);
  ASSERT_TRUE(summary.has_value()) << result.out;
  nlohmann::json &s = *summary;
  EXPECT_EQ(s["ok"], true);
  EXPECT_EQ(s["frames"], 2);
  EXPECT_EQ(s["frames_asked"], 2);
  EXPECT_EQ(s["saved"], 2);
  EXPECT_EQ(s["dropped"], 0);
  EXPECT_EQ(s["timeouts"], 0);
  EXPECT_EQ(s["errors"], 0);
  EXPECT_EQ(s["channels"], format.images);
  EXPECT_EQ(s["bits"], format.bits);
  EXPECT_TRUE(s["error"].is_null());
  EXPECT_EQ(s["camera"], GRABLINE_SOURCE_DIR "/cameras/" + std::string(format.camera));

  std::optional<uint64_t> previous;
  std::optional<PngImage> first;
  for (const char *name : {"frame_000000.png", "frame_000001.png"}) {
    std::optional<PngImage> png = ReadPng(Path("out/") + name);
    ASSERT_TRUE(png.has_value()) << name;
    EXPECT_EQ(png->channels, format.png_channels);
    EXPECT_EQ(png->bit_depth, format.png_bits);
    EXPECT_EQ(png->width, s["width"]);
    EXPECT_EQ(png->height, s["height"]);
    std::optional<uint64_t> frame = FrameShown(*png, format, previous);
    ASSERT_TRUE(frame.has_value()) << name << " shows no frame after " << previous.value_or(0);
    previous = frame;
    if (!first) first = std::move(png);
  }

  // The contact sheet: two cells, the first a thumbnail of the first frame.
  std::optional<PngImage> sheet = ReadPng(Path("out/contact_sheet.png"));
  ASSERT_TRUE(sheet.has_value());
  EXPECT_EQ(s["contact_sheet"], Path("out/contact_sheet.png"));
  EXPECT_EQ(sheet->bit_depth, 8);
  EXPECT_EQ(sheet->channels, format.png_channels);
  const uint32_t step =
      (std::max(first->width, first->height) + tool::kThumbnailSide - 1) / tool::kThumbnailSide;
  const tool::SheetLayout layout = tool::LayoutSheet(2, int32_t((first->width + step - 1) / step),
                                                     int32_t((first->height + step - 1) / step));
  EXPECT_EQ(sheet->width, layout.width);
  EXPECT_EQ(sheet->height, layout.height);
  for (int c = 0; c < sheet->channels; ++c) {
    EXPECT_EQ(sheet->At(tool::kSheetGap, tool::kSheetGap, c),
              tool::To8Bit(first->At(step / 2, step / 2, c), StoredBits(format)))
        << "channel " << c;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ToolGrabFormats, ::testing::ValuesIn(kFormats),
                         [](const auto &info) {
                           std::string name = info.param.camera;
                           return name.substr(0, name.find('.'));
                         });

TEST_F(ToolGrab, EveryModeDeliversTheFramesAsked) {
  for (const char *mode : {"snap", "async", "continuous"}) {
    ProcessResult result = Own("grab", {"--mode", mode, "--frames", "5", "--every", "0", "--json"});
    ASSERT_EQ(result.status, 0) << mode << ": " << result.err;
    std::optional<nlohmann::json> s = ParseJsonObject(result.out);
    ASSERT_TRUE(s.has_value()) << result.out;
    EXPECT_EQ((*s)["mode"], mode);
    EXPECT_EQ((*s)["frames"], 5) << mode;
    EXPECT_EQ((*s)["dropped"], 0) << mode << ": the tool keeps up when it saves nothing";
    EXPECT_EQ((*s)["errors"], 0) << mode;
    EXPECT_EQ((*s)["saved"], 0) << mode;
    EXPECT_TRUE((*s)["contact_sheet"].is_null());
  }
}

TEST_F(ToolGrab, TextSummaryAndProgressLines) {
  ProcessResult result = Own("grab", {"--duration", "1.2", "--every", "0"});
  ASSERT_EQ(result.status, 0) << result.err;
  const size_t digits = result.out.find_first_not_of("0123456789");
  EXPECT_GT(digits, 0u) << result.out;
  EXPECT_EQ(result.out.find(" frames in "), digits) << result.out;
  EXPECT_NE(result.out.find(" fps, "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(" MB/s, 0 dropped, 0 time-outs, 0 errors"), std::string::npos)
      << result.out;
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << "one line";
  // Not a terminal: plain lines, one a second.
  EXPECT_EQ(result.err.find("grab: "), 0u) << result.err;
  // The form of the line, not its figures: a busy machine takes longer.
  EXPECT_TRUE(StartsWithForm(result.err,
                             "grab: # frames, #.# s, #.# fps, #.# MB/s, # dropped, "
                             "# time-outs\n"))
      << result.err;
  EXPECT_EQ(result.err.find('\r'), std::string::npos);
}

TEST_F(ToolGrab, EveryNthFrameIsSaved) {
  ProcessResult result = Own("grab", {"--frames", "5", "--every", "2", "--out", Path("out")});
  ASSERT_EQ(result.status, 0) << result.err;
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(Path("out"))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"contact_sheet.png", "frame_000000.png",
                                             "frame_000002.png", "frame_000004.png"}));
}

TEST_F(ToolGrab, AnotherBuildsInterfaceGrabsInItsBinary) {
  for (const std::string &interface : kInterfaces) {
    ProcessResult result =
        Run({"grab", "--interface", interface, "--frames", "1", "--every", "0", "--json"});
    ASSERT_EQ(result.status, 0) << interface << ": " << result.err;
    std::optional<nlohmann::json> s = ParseJsonObject(result.out);
    ASSERT_TRUE(s.has_value()) << result.out;
    EXPECT_EQ((*s)["interface"], interface);
    EXPECT_EQ((*s)["frames"], 1);
  }
}

TEST_F(ToolGrab, TimeOutsInARowEndTheRun) {
  // A one-shot camera that nobody triggers.
  ProcessResult result = Own("grab", {"--camera", "oneshot8.cam", "--timeout", "50", "--frames",
                                      "2", "--every", "0", "--json"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.find("grab: FG_ERR_TIMEOUT (5322)\n"), 0u) << result.err;
  std::optional<nlohmann::json> s = ParseJsonObject(result.out);
  ASSERT_TRUE(s.has_value()) << result.out;
  EXPECT_EQ((*s)["ok"], false);
  EXPECT_EQ((*s)["frames"], 0);
  EXPECT_EQ((*s)["timeouts"], 3);
  EXPECT_EQ((*s)["errors"], 0);
  EXPECT_EQ((*s)["error"], "grab: FG_ERR_TIMEOUT (5322) 3 times in a row");
}

TEST_F(ToolGrab, CameraFilesFromAnotherDirectory) {
  std::filesystem::create_directories(Path("cams"));
  std::filesystem::copy_file(GRABLINE_SOURCE_DIR "/cameras/gray8.cam", Path("cams/mine.cam"));
  const std::vector<std::string> args = {"--camera", "mine.cam", "--frames", "1",
                                         "--every",  "0",        "--json"};
  ProcessResult by_env = Own("grab", args, {{"GRABLINE_CAMERAS", Path("cams")}});
  std::vector<std::string> with_option = args;
  with_option.insert(with_option.end(), {"--cameras", Path("cams")});
  ProcessResult by_option = Own("grab", with_option);
  for (ProcessResult *result : {&by_env, &by_option}) {
    ASSERT_EQ(result->status, 0) << result->err;
    std::optional<nlohmann::json> s = ParseJsonObject(result->out);
    ASSERT_TRUE(s.has_value()) << result->out;
    EXPECT_EQ((*s)["camera"], Path("cams/mine.cam"));
    EXPECT_EQ((*s)["frames"], 1);
  }
}

// Triggered grabs. The external trigger comes from the tool's own pulse thread, so
// these run under ThreadSanitizer too.
using ThreadedToolTrigger = ToolCliTest;

TEST_F(ThreadedToolTrigger, ASoftwareTriggerPerGrabInEveryMode) {
  const Format oneshot = {"oneshot8.cam", 1, 8, {0}, 8, 1};
  for (const char *mode : {"snap", "async", "continuous"}) {
    const std::string out = Path(std::string("out_") + mode);
    ProcessResult result = Own("grab", {"--camera", "oneshot8.cam", "--trigger", "software",
                                        "--mode", mode, "--frames", "3", "--json", "--out", out});
    ASSERT_EQ(result.status, 0) << mode << ": " << result.err;
    std::optional<nlohmann::json> s = ParseJsonObject(result.out);
    ASSERT_TRUE(s.has_value()) << result.out;
    EXPECT_EQ((*s)["trigger"], "software");
    EXPECT_TRUE((*s)["pulses"].is_null());
    EXPECT_EQ((*s)["frames"], 3) << mode;
    EXPECT_EQ((*s)["timeouts"], 0) << mode;
    // One trigger, one frame: the board's frames 0, 1, 2, none lost or repeated.
    for (uint64_t frame = 0; frame < 3; ++frame) {
      const std::string name = out + "/frame_00000" + std::to_string(frame) + ".png";
      std::optional<PngImage> png = ReadPng(name);
      ASSERT_TRUE(png.has_value()) << name;
      EXPECT_TRUE(Shows(*png, oneshot, frame, true)) << mode << " " << name;
    }
  }
}

TEST_F(ThreadedToolTrigger, ExternalTriggerFollowsThePulses) {
  for (const char *mode : {"snap", "continuous"}) {
    ProcessResult result =
        Own("grab", {"--camera", "oneshot8.cam", "--trigger", "external", "--pulse-rate", "200",
                     "--mode", mode, "--frames", "4", "--every", "0", "--json"});
    ASSERT_EQ(result.status, 0) << mode << ": " << result.err;
    std::optional<nlohmann::json> s = ParseJsonObject(result.out);
    ASSERT_TRUE(s.has_value()) << result.out;
    EXPECT_EQ((*s)["trigger"], "external");
    EXPECT_EQ((*s)["frames"], 4) << mode;
    // A pulse while the board is not armed passes unseen, so there may be more.
    EXPECT_GE((*s)["pulses"], 4) << mode;
  }
  // Without pulses nothing comes: the grab times out as on a machine at rest.
  ProcessResult idle =
      Own("grab", {"--camera", "oneshot8.cam", "--trigger", "external", "--pulse-rate", "0",
                   "--timeout", "30", "--frames", "1", "--every", "0", "--json"});
  EXPECT_EQ(idle.status, 1);
  std::optional<nlohmann::json> s = ParseJsonObject(idle.out);
  ASSERT_TRUE(s.has_value()) << idle.out;
  EXPECT_EQ((*s)["frames"], 0);
  EXPECT_EQ((*s)["timeouts"], 3);
}

TEST_F(ToolGrab, ATriggerTheCameraFileCannotTakeNamesParameterAndCode) {
  ProcessResult software =
      Own("grab", {"--camera", "gray8.cam", "--trigger", "software", "--out", Path("out")});
  EXPECT_EQ(software.status, 1);
  EXPECT_EQ(software.err,
            "software_trigger: FG_ERR_TRIGGER_MODE (5331)\n"
            "  plug-in: Software trigger mode and only be used with one shot triggering.\n");
  ProcessResult external =
      Own("grab", {"--camera", "gray8.cam", "--trigger", "external", "--out", Path("out")});
  EXPECT_EQ(external.status, 1);
  EXPECT_EQ(external.err,
            "external_trigger: FG_ERR_BOARD (5312)\n"
            "  plug-in: The board only supports external triggering with external trigger "
            "camera files such as one-shot.\n");
  EXPECT_TRUE(std::filesystem::is_empty(Path("out"))) << "nothing grabbed";
}

}  // namespace
}  // namespace grabline::testing
