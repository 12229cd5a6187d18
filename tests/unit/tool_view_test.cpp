// The live view's decisions that need no server: which requests may reach the board,
// what a parameter change asks for, and how a frame is shown.
#include <gtest/gtest.h>

#include <string>

#include "grabline/live_frame.hpp"
#include "grabline/view_requests.hpp"

namespace grabline::tool {
namespace {

TEST(ToolViewRequests, HostsAndOriginsOfThisServerOnly) {
  const ListenAddress loopback{"127.0.0.1", 8080};
  const ListenAddress wildcard{"0.0.0.0", 8080};
  const ListenAddress v6{"::1", 8080};
  struct Case {
    const char *host;
    const ListenAddress &listen;
    bool allowed;
  } cases[] = {
      {"127.0.0.1:8080", loopback, true},
      {"localhost:8080", loopback, true},
      {"LOCALHOST:8080", loopback, true},
      {"127.0.0.1:8081", loopback, false},
      {"127.0.0.1", loopback, false},
      {"example.com:8080", loopback, false},
      {"127.0.0.2:8080", loopback, false},
      {"", loopback, false},
      {"192.168.1.9:8080", wildcard, true},
      {"[fe80::1]:8080", wildcard, true},
      {"rebind.example:8080", wildcard, false},
      {"[::1]:8080", v6, true},
      {"[::2]:8080", v6, false},
  };
  for (const Case &c : cases) EXPECT_EQ(HostAllowed(c.host, c.listen), c.allowed) << c.host;
  EXPECT_TRUE(HostAllowed("localhost", ListenAddress{"127.0.0.1", 80}));

  EXPECT_TRUE(OriginAllowed("", loopback)) << "scripts send none";
  EXPECT_TRUE(OriginAllowed("http://127.0.0.1:8080", loopback));
  EXPECT_TRUE(OriginAllowed("http://localhost:8080", loopback));
  for (const char *origin : {"null", "https://127.0.0.1:8080", "http://example.com",
                             "http://127.0.0.1:8081", "http://127.0.0.1:8080.example.com"}) {
    EXPECT_FALSE(OriginAllowed(origin, loopback)) << origin;
  }
}

TEST(ToolViewRequests, ParameterChanges) {
  struct Case {
    const char *body;
    std::vector<ParamValue> values;  // when accepted
    const char *error;               // "" when accepted
  } cases[] = {
      {R"({"name":"num_buffers","value":4})", {ParamValue::Int(4)}, ""},
      {R"({"name":"shutter_speed","value":2.5})", {ParamValue::Double(2.5)}, ""},
      {R"({"name":"shutter_speed","value":5,"type":"double"})", {ParamValue::Double(5)}, ""},
      {R"({"name":"lut","value":"enable"})", {ParamValue::Str("enable")}, ""},
      {R"({"name":"gport","value":[1,-1,"x"]})",
       {ParamValue::Int(1), ParamValue::Int(-1), ParamValue::Str("x")},
       ""},
      {R"({"name":"do_abort_grab"})", {}, ""},
      {R"({"name":"do_abort_grab","value":null})", {}, ""},
      {R"([1])", {}, "the body is not a JSON object"},
      {R"({"name":5})", {}, "name: missing or not a string"},
      {R"({"name":""})", {}, "name: empty parameter name"},
      {R"({"name":"lut","value":true})",
       {},
       "value: a number, a string or an array of them, not boolean"},
      {R"({"name":"lut","value":[]})", {}, "value: an array of 1 to 32767 values"},
      {R"({"name":"lut","value":[[1]]})",
       {},
       "value: a number, a string or an array of them, not array"},
      {R"({"name":"lut","value":18446744073709551615})",
       {},
       "value: 18446744073709551615 is out of range"},
      {R"({"name":"lut","value":"x","type":"double"})", {}, "type: \"double\" for a string value"},
      {R"({"name":"lut","value":1,"type":"int"})", {}, "type: only \"double\" is known"},
  };
  for (const Case &c : cases) {
    ParamRequest request;
    std::string error;
    const bool ok = ParseParamRequest(c.body, &request, &error);
    EXPECT_EQ(ok, *c.error == '\0') << c.body;
    EXPECT_EQ(error, c.error) << c.body;
    if (ok) {
      EXPECT_EQ(request.values, c.values) << c.body;
    }
  }
}

TEST(ToolLiveFrame, ShownAsEightBitsWithHistograms) {
  // Depth below 8 is stretched, above 8 keeps its top bits; the histogram counts
  // what is shown.
  EXPECT_EQ(DisplayValue(3, 2), 255);
  EXPECT_EQ(DisplayValue(1, 2), 85);
  EXPECT_EQ(DisplayValue(0xABC, 12), 0xAB);
  EXPECT_EQ(DisplayValue(0x12345, 20), 0x12);
  EXPECT_EQ(DisplayValue(200, 8), 200);

  const uint16_t gray[] = {0x000, 0xFFF, 0x800, 0xFFF};
  const LiveFrame frame = LiveFrame::Copy(7, "t", {PlaneView{gray, 2, 12, 2, 2}});
  const DisplayImage shown = ToDisplay(frame);
  EXPECT_EQ(frame.bits(), 12);
  EXPECT_EQ(shown.channels, 1);
  EXPECT_EQ(shown.pixels, (std::vector<uint8_t>{0x00, 0xFF, 0x80, 0xFF}));
  ASSERT_EQ(shown.histograms.size(), 1u);
  EXPECT_EQ(shown.histograms[0][0xFF], 2u);
  EXPECT_EQ(shown.histograms[0][0x80], 1u);

  const uint8_t red[] = {1, 2}, green[] = {3, 4}, blue[] = {5, 6};
  const DisplayImage colour = ToDisplay(LiveFrame::Copy(
      0, "",
      {PlaneView{red, 1, 8, 2, 1}, PlaneView{green, 1, 8, 2, 1}, PlaneView{blue, 1, 8, 2, 1}}));
  EXPECT_EQ(colour.channels, 3);
  EXPECT_EQ(colour.pixels, (std::vector<uint8_t>{1, 3, 5, 2, 4, 6}));
  ASSERT_EQ(colour.histograms.size(), 3u);
  EXPECT_EQ(colour.histograms[2][6], 1u);
  EXPECT_EQ(ToDisplay(LiveFrame{}).channels, 0) << "no frame, nothing shown";
}

}  // namespace
}  // namespace grabline::tool
