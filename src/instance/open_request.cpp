#include "instance/open_request.hpp"

#include <cstring>
#include <string_view>

namespace grabline {
namespace {

template <size_t N>
void Terminate(char (&field)[N]) {
  field[N - 1] = '\0';
}

bool KnownBitsPerChannel(int32_t bits) {
  switch (bits) {
    case 8:
    case 10:
    case 12:
    case 24:
    case 32:
    case -1:  // the camera file's depth
      return true;
    default:
      return false;
  }
}

// "show_error_dlg:%u" anywhere in the first generic string; without a number
// after the colon the switch is on.
int ShowErrorDialog(const TFgInstance &fginst) {
  if (fginst.generic == nullptr || fginst.num_generic <= 0 ||
      fginst.generic[0].type != TPAR_STRING || fginst.generic[0].par.s == nullptr) {
    return -1;
  }
  constexpr std::string_view kName = "show_error_dlg";
  const std::string_view generic = fginst.generic[0].par.s;
  const size_t at = generic.find(kName);
  if (at == std::string_view::npos) return -1;
  const std::string_view rest = generic.substr(at + kName.size());
  if (rest.size() <= 1 || rest[0] != ':') return 1;
  std::string_view digits = rest.substr(1);
  digits = digits.substr(0, digits.find_first_not_of("0123456789"));
  uint32_t value = 0;
  if (!ParseNumber(digits, &value)) return 1;
  return value != 0 ? 1 : 0;
}

}  // namespace

OpenRequest ParseOpenRequest(TFgInstance &fginst, const OpenLimits &limits) {
  Terminate(fginst.device);
  Terminate(fginst.camera_type);
  Terminate(fginst.color_space);
  OpenRequest request;
  // Names that do not fit the records are refused, never cut: a cut name
  // could match another instance's device or camera file.
  if (strnlen(fginst.device, sizeof fginst.device) >= limits.device) {
    request.names = FG_ERR_UNSUPPORTED;
  } else if (strnlen(fginst.camera_type, sizeof fginst.camera_type) >= limits.camera_file) {
    request.names = FG_ERR_BOARD_OPEN;
  }
  if (fginst.port < 0) {
    request.settings = FG_ERR_PORT;
  } else if (!KnownBitsPerChannel(fginst.bits_per_channel)) {
    request.settings = FG_ERR_BITS_PER_CHANNEL;
  } else if (std::strcmp(fginst.color_space, "rgb") != 0 &&
             std::strcmp(fginst.color_space, "gray") != 0) {
    request.settings = FG_ERR_COLOR_SPACE;
  }
  request.show_error_dlg = ShowErrorDialog(fginst);
  return request;
}

}  // namespace grabline
