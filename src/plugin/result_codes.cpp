#include "plugin/result_codes.hpp"

#include <string_view>

#include "plugin/result_code_names.hpp"

namespace grabline {
namespace {

constexpr bool Named(Terr code, std::string_view name) {
  const char *found = ResultCodeName(code, FG_OK);
  return found != nullptr && name == found;
}

// The names live in a header the tools share; these keep it in step with the codes above.
static_assert(Named(FG_OK, "FG_OK") && Named(FG_FAIL, "FG_FAIL") &&
              Named(FG_ERR_LUT_LENGTH, "FG_ERR_LUT_LENGTH") &&
              Named(FG_ERR_SERIAL_HANDLE, "FG_ERR_SERIAL_HANDLE") &&
              Named(FG_ERR_SERIAL_NOT_CL, "FG_ERR_SERIAL_NOT_CL") &&
              Named(FG_ERR_SERIAL_INIT, "FG_ERR_SERIAL_INIT") &&
              Named(FG_ERR_SERIAL_SETTINGS, "FG_ERR_SERIAL_SETTINGS") &&
              Named(FG_ERR_SERIAL_WRITE, "FG_ERR_SERIAL_WRITE") &&
              Named(FG_ERR_SERIAL_BUFFER, "FG_ERR_SERIAL_BUFFER") &&
              Named(FG_ERR_DRIVER_NOT_READY, "FG_ERR_DRIVER_NOT_READY") &&
              Named(FG_ERR_BITS_PER_CHANNEL, "FG_ERR_BITS_PER_CHANNEL") &&
              Named(FG_ERR_BOARD_OPEN, "FG_ERR_BOARD_OPEN") && Named(FG_ERR_GRAB, "FG_ERR_GRAB") &&
              Named(FG_ERR_RESOLUTION, "FG_ERR_RESOLUTION") &&
              Named(FG_ERR_IMAGE_PART, "FG_ERR_IMAGE_PART") &&
              Named(FG_ERR_BOARD, "FG_ERR_BOARD") &&
              Named(FG_ERR_COLOR_SPACE, "FG_ERR_COLOR_SPACE") &&
              Named(FG_ERR_PORT, "FG_ERR_PORT") &&
              Named(FG_ERR_CAMERA_SELECT, "FG_ERR_CAMERA_SELECT") &&
              Named(FG_ERR_DEVICE_BUSY, "FG_ERR_DEVICE_BUSY") &&
              Named(FG_ERR_UNSUPPORTED, "FG_ERR_UNSUPPORTED") &&
              Named(FG_ERR_TIMEOUT, "FG_ERR_TIMEOUT") &&
              Named(FG_ERR_PARAM_TYPE, "FG_ERR_PARAM_TYPE") &&
              Named(FG_ERR_PARAM_VALUE, "FG_ERR_PARAM_VALUE") &&
              Named(FG_ERR_LUT_UNSUPPORTED, "FG_ERR_LUT_UNSUPPORTED") &&
              Named(FG_ERR_OPERATION_FAILED, "FG_ERR_OPERATION_FAILED") &&
              Named(FG_ERR_GET_FAILED, "FG_ERR_GET_FAILED") &&
              Named(FG_ERR_TRIGGER_MODE, "FG_ERR_TRIGGER_MODE") &&
              Named(FG_ERR_CALLBACK_TYPE, "FG_ERR_CALLBACK_TYPE") &&
              Named(FG_ERR_BUFFER_ALLOC, "FG_ERR_BUFFER_ALLOC"));

}  // namespace

const char *ResultCodeName(Terr code) { return ResultCodeName(code, FG_OK); }

}  // namespace grabline
