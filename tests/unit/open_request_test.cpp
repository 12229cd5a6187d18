// Reading an open request: which refusal each fault gets, and the generic
// show_error_dlg switch.
#include "instance/open_request.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace grabline {
namespace {

constexpr OpenLimits kLimits{8, 12};

struct Request {
  const char *device = "default";
  const char *camera = "default";
  const char *colour = "gray";
  int32_t port = 0;
  int32_t bits = -1;
  const char *generic = nullptr;
};

OpenRequest Parse(const Request &r) {
  TFgInstance fginst{};
  std::strncpy(fginst.device, r.device, sizeof fginst.device);
  std::strncpy(fginst.camera_type, r.camera, sizeof fginst.camera_type);
  std::strncpy(fginst.color_space, r.colour, sizeof fginst.color_space);
  fginst.port = r.port;
  fginst.bits_per_channel = r.bits;
  Tcpar generic{};
  if (r.generic != nullptr) {
    generic.type = TPAR_STRING;
    generic.par.s = const_cast<char *>(r.generic);
    fginst.generic = &generic;
    fginst.num_generic = 1;
  }
  return ParseOpenRequest(fginst, kLimits);
}

TEST(OpenRequest, EachFaultGetsItsRefusal) {
  struct Case {
    Request request;
    Terr names, settings;
  } const cases[] = {
      {{}, FG_OK, FG_OK},
      {{.device = "1234567"}, FG_OK, FG_OK},
      {{.device = "12345678"}, FG_ERR_UNSUPPORTED, FG_OK},
      {{.camera = "12345678901"}, FG_OK, FG_OK},
      {{.camera = "123456789012"}, FG_ERR_BOARD_OPEN, FG_OK},
      // A long device name is named first, as the open checks it first.
      {{.device = "12345678", .camera = "123456789012"}, FG_ERR_UNSUPPORTED, FG_OK},
      {{.port = -1}, FG_OK, FG_ERR_PORT},
      {{.bits = 16}, FG_OK, FG_ERR_BITS_PER_CHANNEL},
      {{.bits = 0}, FG_OK, FG_ERR_BITS_PER_CHANNEL},
      {{.colour = "yuv"}, FG_OK, FG_ERR_COLOR_SPACE},
      {{.colour = "rgb", .bits = 10}, FG_OK, FG_OK},
      {{.colour = "yuv", .port = -1, .bits = 16}, FG_OK, FG_ERR_PORT},
      {{.colour = "yuv", .bits = 16}, FG_OK, FG_ERR_BITS_PER_CHANNEL},
  };
  for (const Case &c : cases) {
    const OpenRequest parsed = Parse(c.request);
    EXPECT_EQ(parsed.names, c.names) << c.request.device << " " << c.request.camera;
    EXPECT_EQ(parsed.settings, c.settings)
        << c.request.colour << " " << c.request.port << " " << c.request.bits;
  }
}

TEST(OpenRequest, ShowErrorDialogSwitch) {
  const std::pair<const char *, int> cases[] = {
      {nullptr, -1},
      {"", -1},
      {"other", -1},
      {"show_error_dlg", 1},
      {"show_error_dlg:", 1},
      {"show_error_dlg:0", 0},
      {"show_error_dlg:00", 0},
      {"show_error_dlg:7", 1},
      {"x show_error_dlg:0,y", 0},
      {"show_error_dlg:abc", 1},
      {"show_error_dlg:99999999999", 1},  // too large for a number: on
  };
  for (const auto &[generic, expected] : cases) {
    EXPECT_EQ(Parse({.generic = generic}).show_error_dlg, expected)
        << (generic != nullptr ? generic : "(none)");
  }
}

TEST(OpenRequest, TextFieldsFilledToTheEndAreTerminated) {
  TFgInstance fginst{};
  std::memset(fginst.device, 'd', sizeof fginst.device);
  std::memset(fginst.camera_type, 'c', sizeof fginst.camera_type);
  std::memset(fginst.color_space, 'g', sizeof fginst.color_space);
  fginst.bits_per_channel = -1;
  const OpenRequest parsed = ParseOpenRequest(fginst, {1024, 1024});
  EXPECT_EQ(std::strlen(fginst.device), sizeof fginst.device - 1);
  EXPECT_EQ(std::strlen(fginst.camera_type), sizeof fginst.camera_type - 1);
  EXPECT_EQ(parsed.settings, FG_ERR_COLOR_SPACE);
}

}  // namespace
}  // namespace grabline
