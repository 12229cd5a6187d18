// grabline view as scripts and pages reach it: the HTTP interface of a running view on
// the simulated board, the refusals that keep other sites away from the board, and a
// Ctrl-C that ends it with its summary.
#include <gtest/gtest.h>
#include <httplib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "bfsim_control.hpp"
#include "support/png_read.hpp"
#include "support/tool_cli_fixture.hpp"

namespace grabline::testing {
namespace {

using Json = nlohmann::json;

class ToolView : public ToolCliTest {
 protected:
  // Starts `grabline view` on a free port; false when it did not print its address.
  bool Start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {GRABLINE_TOOL_PATH, "--interface", GRABLINE_TOOL_INTERFACE, "view",
                               "--port", "0", "--no-open"});
    view_ = std::make_unique<ChildProcess>(args, EnvChanges{{"GRABLINE_SIM_SYSTEM", std::nullopt},
                                                            {"GRABLINE_CAMERAS", std::nullopt}});
    first_line_ = view_->FirstLine();
    // "grabline view: http://ADDRESS:PORT/ (...)"
    const size_t slash = first_line_.find("/ (");
    const size_t colon = first_line_.rfind(':', slash);
    if (first_line_.rfind("grabline view: http://", 0) != 0 || slash == std::string::npos) {
      return false;
    }
    port_ = std::atoi(first_line_.substr(colon + 1, slash - colon - 1).c_str());
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(30);
    return true;
  }
  std::string Here() const { return "127.0.0.1:" + std::to_string(port_); }

  Json Get(const std::string &path) {
    const httplib::Result result = client_->Get(path.c_str());
    if (!result || result->status != 200) return Json();
    return Json::parse(result->body, nullptr, false);
  }
  httplib::Result Post(const std::string &path, const std::string &body,
                       const httplib::Headers &headers = {}) {
    return client_->Post(path.c_str(), headers, body, "application/json");
  }
  Json Param(const std::string &name) {
    const Json list = Get("/params?names=" + name);
    return list.is_array() && list.size() == 1 ? list[0]["value"] : Json();
  }
  // Waits for the view's status to satisfy `ready`; the status then.
  Json StatusWhen(const std::function<bool(const Json &)> &ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    Json status;
    do {
      status = Get("/status");
      if (status.is_object() && ready(status)) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    ADD_FAILURE() << "status never ready: " << status.dump();
    return status;
  }
  // Ctrl-C: the view ends with status 0 and its summary line.
  void ExpectCleanEnd() {
    const ProcessResult end = view_->Stop();
    EXPECT_EQ(end.status, 0) << end.err;
    // The address line, then the summary as grab prints it.
    const std::string summary = end.out.substr(end.out.find('\n') + 1);
    EXPECT_NE(summary.find(" in "), std::string::npos) << end.out;
    EXPECT_NE(summary.find(" fps, "), std::string::npos) << end.out;
    EXPECT_NE(summary.find(", 0 errors"), std::string::npos) << end.out;
  }

  std::unique_ptr<ChildProcess> view_;
  std::unique_ptr<httplib::Client> client_;
  std::string first_line_;
  int port_ = 0;
};

// The view's own threads run under ThreadSanitizer in the suites below, on cameras slow
// enough that the grabbing keeps up even there: a camera the grabbing falls behind
// has its ring buffers overwritten while they are read, as on a board.
using ThreadedToolView = ToolView;

TEST_F(ToolView, ServesThePageFramesStatusAndParameters) {
  ASSERT_TRUE(Start({"--camera", "rgb24.cam"})) << first_line_;
  const httplib::Result page = client_->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("<title>grabline view</title>"), std::string::npos);

  const Json status = StatusWhen([](const Json &s) { return s["frames"] > 0; });
  for (const char *key : {"frames", "fps", "dropped", "timeouts", "errors", "width", "height",
                          "channels", "bits", "frame_time", "running"}) {
    EXPECT_TRUE(status.contains(key)) << key;
  }
  EXPECT_EQ(status["width"], 64);
  EXPECT_EQ(status["height"], 48);
  EXPECT_EQ(status["channels"], 3);
  EXPECT_EQ(status["bits"], 8);
  EXPECT_EQ(status["running"], true);
  EXPECT_EQ(status["trigger"], "free");

  const httplib::Result jpeg = client_->Get("/frame.jpg");
  ASSERT_TRUE(jpeg && jpeg->status == 200);
  EXPECT_EQ(jpeg->get_header_value("Content-Type"), "image/jpeg");
  tjhandle decoder = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colours = 0;
  EXPECT_EQ(tjDecompressHeader3(decoder, reinterpret_cast<const unsigned char *>(jpeg->body.data()),
                                jpeg->body.size(), &width, &height, &subsampling, &colours),
            0);
  tjDestroy(decoder);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  EXPECT_NE(colours, TJCS_GRAY);

  // The saved frame is the camera's, pixel for pixel, whatever JPEG made of it.
  const httplib::Result png = client_->Get("/frame.png");
  ASSERT_TRUE(png && png->status == 200);
  const std::string name = png->get_header_value("Content-Disposition");
  EXPECT_EQ(name.find("attachment; filename=\"frame_"), 0u) << name;
  std::ofstream(Path("frame.png"), std::ios::binary) << png->body;
  const std::optional<PngImage> image = ReadPng(Path("frame.png"));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->channels, 3);
  // The board numbers its frames from its own start, the view from its first grab;
  // in 8 bits the pattern repeats every 256 frames, so the first pixel tells which.
  uint64_t frame = 0;
  // 24-bit pixels hold blue, green, red: red is the pattern's component 2.
  while (frame < 256 && bfsim::PatternValue(frame, 0, 0, 2, 8) != image->At(0, 0, 0)) ++frame;
  for (uint32_t y = 0; y < 48; y += 7) {
    for (uint32_t x = 0; x < 64; x += 5) {
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(image->At(x, y, c), bfsim::PatternValue(frame, x, y, uint32_t(2 - c), 8))
            << x << "," << y << "," << c;
      }
    }
  }

  const Json params = Get("/params");
  ASSERT_TRUE(params.is_array());
  EXPECT_GT(params.size(), 60u);
  const auto lut =
      std::find_if(params.begin(), params.end(), [](const Json &p) { return p["name"] == "lut"; });
  ASSERT_NE(lut, params.end());
  EXPECT_EQ((*lut)["value"], "disable");
  EXPECT_EQ((*lut)["values"], Json::array({"enable", "disable"}));
  EXPECT_EQ(Param("num_buffers"), 8) << "the view's own ring";

  // Each change goes through the plug-in; a refusal reads as on the command line.
  const httplib::Result set = Post("/param", R"({"name":"num_buffers","value":4})");
  ASSERT_TRUE(set);
  EXPECT_EQ(set->status, 200);
  EXPECT_EQ(Json::parse(set->body)["ok"], true);
  EXPECT_EQ(Param("num_buffers"), 4);
  const httplib::Result refused = Post("/param", R"({"name":"num_buffers","value":1})");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 422);
  const Json expected = {{"ok", false},
                         {"code", 5326},
                         {"code_name", "FG_ERR_PARAM_VALUE"},
                         {"message", "num_buffers: FG_ERR_PARAM_VALUE (5326)"}};
  EXPECT_EQ(Json::parse(refused->body), expected);
  EXPECT_EQ(Param("num_buffers"), 4);
  const uint64_t frames = Get("/status")["frames"];
  StatusWhen([&](const Json &s) { return s["frames"] > frames && s["errors"] == 0; });
  ExpectCleanEnd();
}

TEST_F(ThreadedToolView, RefusesOtherSitesAndBadRequestsAndGoesOn) {
  ASSERT_TRUE(Start());
  struct Case {
    const char *what;
    std::string method, path, body;
    httplib::Headers headers;
    int status;
    std::string message;  // "" for a success
  };
  const std::string here = Here();
  const std::string other_port = "127.0.0.1:" + std::to_string(port_ == 1 ? 2 : port_ - 1);
  const Case cases[] = {
      {"a foreign Host",
       "GET",
       "/status",
       "",
       {{"Host", "example.com:" + std::to_string(port_)}},
       403,
       "Host 'example.com:" + std::to_string(port_) + "' is not this server"},
      {"another port",
       "GET",
       "/status",
       "",
       {{"Host", other_port}},
       403,
       "Host '" + other_port + "' is not this server"},
      {"localhost",
       "GET",
       "/status",
       "",
       {{"Host", "localhost:" + std::to_string(port_)}},
       200,
       ""},
      {"a foreign Origin",
       "POST",
       "/param",
       R"({"name":"lut","value":"enable"})",
       {{"Origin", "http://example.com"}},
       403,
       "Origin 'http://example.com' is not this server's page"},
      {"a null Origin",
       "POST",
       "/trigger",
       "{}",
       {{"Origin", "null"}},
       403,
       "Origin 'null' is not this server's page"},
      {"its own page",
       "POST",
       "/param",
       R"({"name":"lut","value":"disable"})",
       {{"Origin", "http://" + here}},
       200,
       ""},
      {"bad JSON", "POST", "/param", "{name:", {}, 400, "the body is not a JSON object"},
      {"no name", "POST", "/param", R"({"value":3})", {}, 400, "name: missing or not a string"},
      {"a bad name",
       "POST",
       "/param",
       R"({"name":"a b"})",
       {},
       400,
       "name: parameter name 'a b' has a blank, a '=' or a character outside printable ASCII"},
      {"an object value",
       "POST",
       "/param",
       R"({"name":"lut","value":{}})",
       {},
       400,
       "value: a number, a string or an array of them, not object"},
      {"an over-long value",
       "POST",
       "/param",
       R"({"name":"lut","value":")" + std::string(5000, 'x') + R"("})",
       {},
       400,
       "value: longer than 4096 bytes"},
      {"an unknown name",
       "POST",
       "/param",
       R"({"name":"no_such_thing","value":1})",
       {},
       422,
       "no_such_thing: FG_ERR_UNSUPPORTED (5321)"},
      {"a trigger while free running",
       "POST",
       "/trigger",
       "{}",
       {},
       409,
       "trigger: only in software trigger mode while running"},
      {"an unknown trigger mode",
       "POST",
       "/acquisition",
       R"({"trigger":"sometimes"})",
       {},
       400,
       "trigger: one of free, software, external"},
  };
  for (const Case &c : cases) {
    const httplib::Result result =
        c.method == "GET" ? client_->Get(c.path.c_str(), c.headers)
                          : client_->Post(c.path.c_str(), c.headers, c.body, "application/json");
    ASSERT_TRUE(result) << c.what;
    EXPECT_EQ(result->status, c.status) << c.what;
    const Json answer = Json::parse(result->body, nullptr, false);
    if (!c.message.empty()) {
      EXPECT_EQ(answer["message"], c.message) << c.what;
    }
  }
  const httplib::Result huge = Post("/param", std::string(128 * 1024, ' '));
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 413);
  EXPECT_EQ(Param("lut"), "disable") << "the refused change was not made";

  // None of it stopped the acquisition.
  const uint64_t frames = Get("/status")["frames"];
  StatusWhen([&](const Json &s) { return s["frames"] > frames && s["running"] == true; });
  ExpectCleanEnd();
}

TEST_F(ThreadedToolView, AStreamClientThatLeavesMidStreamLeavesTheViewRunning) {
  ASSERT_TRUE(Start());
  std::string received;
  const auto parts = [&] {
    size_t count = 0;
    for (size_t at = received.find("X-Frame-Number"); at != std::string::npos;
         at = received.find("X-Frame-Number", at + 1)) {
      ++count;
    }
    return count;
  };
  // Three frames, then the client goes away without a word.
  const httplib::Result stream = client_->Get("/stream.mjpg", [&](const char *data, size_t length) {
    received.append(data, length);
    return parts() < 3;
  });
  EXPECT_FALSE(stream) << "the client ended the stream";
  EXPECT_EQ(received.rfind("--grablineframe\r\nContent-Type: image/jpeg\r\n", 0), 0u);
  const uint64_t frames = Get("/status")["frames"];
  StatusWhen([&](const Json &s) { return s["frames"] > frames + 10; });
  ExpectCleanEnd();
}

TEST_F(ThreadedToolView, OneShotCameraOneTriggerOneFrame) {
  ASSERT_TRUE(Start({"--camera", "oneshot8.cam"}));
  EXPECT_NE(first_line_.find("trigger software"), std::string::npos) << first_line_;
  EXPECT_EQ(Get("/status")["frames"], 0);
  for (int n = 1; n <= 3; ++n) {
    const httplib::Result trigger = Post("/trigger", "{}");
    ASSERT_TRUE(trigger);
    EXPECT_EQ(trigger->status, 200) << trigger->body;
    EXPECT_EQ(Get("/status")["frames"], n);
  }
  const httplib::Result stop = Post("/acquisition", R"({"running":false})");
  ASSERT_TRUE(stop && stop->status == 200);
  EXPECT_EQ(Post("/trigger", "{}")->status, 409);
  ExpectCleanEnd();
}

TEST_F(ThreadedToolView, ListeningAddressAndPort) {
  ASSERT_TRUE(Start({"--listen", "0.0.0.0"})) << first_line_;
  // The same port again cannot be had.
  const ProcessResult taken = Own("view", {"--port", std::to_string(port_), "--no-open"});
  EXPECT_EQ(taken.status, 1);
  EXPECT_NE(taken.err.find("view: cannot listen on 127.0.0.1 port " + std::to_string(port_)),
            std::string::npos)
      << taken.err;
  const ProcessResult end = view_->Stop();
  EXPECT_EQ(end.status, 0);
  EXPECT_NE(end.err.find("view: warning: listening on 0.0.0.0"), std::string::npos) << end.err;
}

}  // namespace
}  // namespace grabline::testing
