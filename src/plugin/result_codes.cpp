#include "plugin/result_codes.hpp"

namespace grabline {

const char *ResultCodeName(Terr code) {
  if (code == FG_OK) return "FG_OK";
  switch (code) {
    case FG_FAIL: return "FG_FAIL";
    case FG_ERR_LUT_LENGTH: return "FG_ERR_LUT_LENGTH";
    case FG_ERR_SERIAL_HANDLE: return "FG_ERR_SERIAL_HANDLE";
    case FG_ERR_SERIAL_NOT_CL: return "FG_ERR_SERIAL_NOT_CL";
    case FG_ERR_SERIAL_INIT: return "FG_ERR_SERIAL_INIT";
    case FG_ERR_SERIAL_SETTINGS: return "FG_ERR_SERIAL_SETTINGS";
    case FG_ERR_SERIAL_WRITE: return "FG_ERR_SERIAL_WRITE";
    case FG_ERR_SERIAL_BUFFER: return "FG_ERR_SERIAL_BUFFER";
    case FG_ERR_DRIVER_NOT_READY: return "FG_ERR_DRIVER_NOT_READY";
    case FG_ERR_BITS_PER_CHANNEL: return "FG_ERR_BITS_PER_CHANNEL";
    case FG_ERR_BOARD_OPEN: return "FG_ERR_BOARD_OPEN";
    case FG_ERR_GRAB: return "FG_ERR_GRAB";
    case FG_ERR_RESOLUTION: return "FG_ERR_RESOLUTION";
    case FG_ERR_IMAGE_PART: return "FG_ERR_IMAGE_PART";
    case FG_ERR_BOARD: return "FG_ERR_BOARD";
    case FG_ERR_COLOR_SPACE: return "FG_ERR_COLOR_SPACE";
    case FG_ERR_PORT: return "FG_ERR_PORT";
    case FG_ERR_CAMERA_SELECT: return "FG_ERR_CAMERA_SELECT";
    case FG_ERR_DEVICE_BUSY: return "FG_ERR_DEVICE_BUSY";
    case FG_ERR_UNSUPPORTED: return "FG_ERR_UNSUPPORTED";
    case FG_ERR_TIMEOUT: return "FG_ERR_TIMEOUT";
    case FG_ERR_PARAM_TYPE: return "FG_ERR_PARAM_TYPE";
    case FG_ERR_PARAM_VALUE: return "FG_ERR_PARAM_VALUE";
    case FG_ERR_LUT_UNSUPPORTED: return "FG_ERR_LUT_UNSUPPORTED";
    case FG_ERR_OPERATION_FAILED: return "FG_ERR_OPERATION_FAILED";
    case FG_ERR_GET_FAILED: return "FG_ERR_GET_FAILED";
    case FG_ERR_TRIGGER_MODE: return "FG_ERR_TRIGGER_MODE";
    case FG_ERR_CALLBACK_TYPE: return "FG_ERR_CALLBACK_TYPE";
    case FG_ERR_BUFFER_ALLOC: return "FG_ERR_BUFFER_ALLOC";
    default: return nullptr;
  }
}

}  // namespace grabline
