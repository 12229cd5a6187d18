// What the tool prints about a grab: JSON, the summary, the progress line, code names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "grabline/code_names.hpp"
#include "grabline/progress.hpp"
#include "grabline/summary.hpp"

namespace grabline::tool {
namespace {

GrabSummary Example() {
  GrabSummary s;
  s.interface = "grablinexl";
  s.device = "default";
  s.camera = "default";
  s.mode = "snap";
  s.counts = {30, 30ull * 640 * 480, 0, 1, 0, 30};
  s.frames_asked = 30;
  s.seconds = 1.5;
  s.width = 640;
  s.height = 480;
  s.channels = 1;
  s.bits = 8;
  s.out_dir = "out";
  s.contact_sheet = "out/contact_sheet.png";
  s.first_time = FormatFrameTime({2024, 12, 8, 6, 43, 12, 5});
  s.last_time = FormatFrameTime({2024, 12, 8, 6, 43, 13, 505});
  return s;
}

TEST(ToolSummary, TextLine) {
  EXPECT_EQ(SummaryText(Example()),
            "30 frames in 1.50 s: 20.0 fps, 6.14 MB/s, 0 dropped, 1 time-out, 0 errors; 30 PNG "
            "in out, contact sheet out/contact_sheet.png; frames 2024-12-08 06:43:12.005 to "
            "2024-12-08 06:43:13.505");
  GrabSummary short_run = Example();
  short_run.counts.frames = 1;
  short_run.counts.saved = 0;
  short_run.contact_sheet.clear();
  short_run.first_time.clear();
  short_run.counts.timeouts = 2;
  short_run.counts.errors = 1;
  EXPECT_EQ(SummaryText(short_run),
            "1 frame of 30 in 1.50 s: 0.7 fps, 6.14 MB/s, 0 dropped, 2 time-outs, 1 error");
}

TEST(ToolSummary, JsonCarriesEveryFigure) {
  EXPECT_EQ(SummaryJson(Example()),
            R"({"ok":true,"interface":"grablinexl","device":"default","camera":"default",)"
            R"("mode":"snap","trigger":"camera","pulses":null,)"
            R"("frames":30,"frames_asked":30,"seconds":1.5,"fps":20.0,)"
            R"("mb_per_s":6.14,"bytes":9216000,"dropped":0,"timeouts":1,"errors":0,"saved":30,)"
            R"("width":640,"height":480,"channels":1,"bits":8,"out":"out",)"
            R"("contact_sheet":"out/contact_sheet.png",)"
            R"("first_frame_time":"2024-12-08 06:43:12.005",)"
            R"("last_frame_time":"2024-12-08 06:43:13.505","error":null})");
  GrabSummary failed = Example();
  failed.error = "open: FG_ERR_BOARD_OPEN (5302)";
  failed.frames_asked = 0;
  failed.seconds = 0;
  failed.contact_sheet.clear();
  const std::string json = SummaryJson(failed);
  EXPECT_NE(json.find(R"("ok":false)"), std::string::npos);
  EXPECT_NE(json.find(R"("frames_asked":null)"), std::string::npos);
  EXPECT_NE(json.find(R"("fps":0.0,)"), std::string::npos) << "no division by zero time";
  EXPECT_NE(json.find(R"("contact_sheet":null)"), std::string::npos);
  EXPECT_NE(json.find(R"x("error":"open: FG_ERR_BOARD_OPEN (5302)")x"), std::string::npos);
  GrabSummary pulsed = Example();
  pulsed.trigger = "external";
  pulsed.pulses = 31;
  EXPECT_NE(SummaryJson(pulsed).find(R"("trigger":"external","pulses":31,)"), std::string::npos);
  EXPECT_NE(SummaryText(pulsed).find("06:43:13.505; 31 trigger pulses"), std::string::npos);
  // Whatever the plug-in or the user gave, the line stays valid JSON: valid
  // UTF-8 as it is, other bytes as U+FFFD.
  GrabSummary odd = Example();
  odd.camera = "gr\xc3\xbc\xc3\x9f \"x\"\n";
  odd.error = std::string("bad \xff\xc0\xaf end\0", 12);
  const nlohmann::json parsed = nlohmann::json::parse(SummaryJson(odd));
  EXPECT_EQ(parsed["camera"], "gr\xc3\xbc\xc3\x9f \"x\"\n");
  EXPECT_EQ(parsed["error"], std::string("bad \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd end\0", 18));
}

TEST(ToolSummary, FrameTimes) {
  EXPECT_EQ(FormatFrameTime({}), "");
  EXPECT_EQ(FormatFrameTime({65535, 255, 255, 255, 255, 255, 65535}),
            "65535-255-255 255:255:255.65535");
}

TEST(ToolProgress, BarAndLine) {
  ProgressView view{{12, 12'000'000, 1, 2, 0, 12}, 0.5, 30, 0};
  EXPECT_EQ(ProgressBar(view, 10),
            "[####......]  12/30 frames  24.0 fps  24.00 MB/s  1 dropped  2 time-outs");
  EXPECT_EQ(ProgressLine(view),
            "grab: 12/30 frames, 0.5 s, 24.0 fps, 24.00 MB/s, 1 dropped, 2 time-outs");
  // With a duration the further of the two fractions counts.
  view.seconds_target = 0.625;
  EXPECT_DOUBLE_EQ(ProgressFraction(view), 0.8);
  EXPECT_EQ(ProgressBar(view, 10).substr(0, 12), "[########..]");
  view = ProgressView{{100, 0, 0, 0, 0, 0}, 0, 0, 0};
  EXPECT_EQ(ProgressBar(view, -5), "[]  100 frames  0.0 fps  0.00 MB/s  0 dropped  0 time-outs");
  view.frames_target = 10;
  EXPECT_EQ(ProgressBar(view, 500).size(), ProgressBar(view, 100).size());
  EXPECT_DOUBLE_EQ(ProgressFraction(view), 1.0);
}

TEST(ToolProgress, PacerFiresOncePerInterval) {
  ProgressPacer pacer(1.0);
  EXPECT_FALSE(pacer.Due(0.0));
  EXPECT_FALSE(pacer.Due(0.99));
  EXPECT_TRUE(pacer.Due(1.0));
  EXPECT_FALSE(pacer.Due(1.5));
  EXPECT_TRUE(pacer.Due(2.0));
  EXPECT_TRUE(pacer.Due(10.0)) << "a long grab gives one line, not a burst";
  EXPECT_FALSE(pacer.Due(10.5));
}

TEST(ToolCodeNames, PluginAndHostCodes) {
  EXPECT_EQ(CodeText(5302, 2), "FG_ERR_BOARD_OPEN (5302)");
  EXPECT_EQ(CodeText(2, 2), "FG_OK (2)");
  EXPECT_EQ(CodeText(1, 1), "FG_OK (1)");
  EXPECT_EQ(CodeText(2, 1), "code 2") << "2 means nothing to the par host";
  EXPECT_EQ(CodeText(4905, 2), "T_ERR_ARGUMENT (4905)");
  EXPECT_EQ(CodeText(-1, 2), "code -1");
}

}  // namespace
}  // namespace grabline::tool
