// result_code_names.hpp — the names of the plug-in's result codes. Header only and
// free of the build profile, so that tools print the same names without linking
// any object of the plug-in.
#pragma once

#include <cstdint>

namespace grabline {

// The name of `code` ("FG_ERR_BOARD"), or null if the plug-in has no such code.
// Success is the host's own code and differs between the builds (2, or 1 in the
// par build), so the caller says which code means success.
constexpr const char *ResultCodeName(int32_t code, int32_t ok_code) {
  if (code == ok_code) return "FG_OK";
  switch (code) {
    case 5:
      return "FG_FAIL";
    case 1401:
      return "FG_ERR_LUT_LENGTH";
    case 5251:
      return "FG_ERR_SERIAL_HANDLE";
    case 5252:
      return "FG_ERR_SERIAL_NOT_CL";
    case 5253:
      return "FG_ERR_SERIAL_INIT";
    case 5256:
      return "FG_ERR_SERIAL_SETTINGS";
    case 5261:
      return "FG_ERR_SERIAL_WRITE";
    case 5262:
      return "FG_ERR_SERIAL_BUFFER";
    case 5300:
      return "FG_ERR_DRIVER_NOT_READY";
    case 5301:
      return "FG_ERR_BITS_PER_CHANNEL";
    case 5302:
      return "FG_ERR_BOARD_OPEN";
    case 5306:
      return "FG_ERR_GRAB";
    case 5307:
      return "FG_ERR_RESOLUTION";
    case 5308:
      return "FG_ERR_IMAGE_PART";
    case 5312:
      return "FG_ERR_BOARD";
    case 5315:
      return "FG_ERR_COLOR_SPACE";
    case 5316:
      return "FG_ERR_PORT";
    case 5317:
      return "FG_ERR_CAMERA_SELECT";
    case 5319:
      return "FG_ERR_DEVICE_BUSY";
    case 5321:
      return "FG_ERR_UNSUPPORTED";
    case 5322:
      return "FG_ERR_TIMEOUT";
    case 5325:
      return "FG_ERR_PARAM_TYPE";
    case 5326:
      return "FG_ERR_PARAM_VALUE";
    case 5327:
      return "FG_ERR_LUT_UNSUPPORTED";
    case 5329:
      return "FG_ERR_OPERATION_FAILED";
    case 5330:
      return "FG_ERR_GET_FAILED";
    case 5331:
      return "FG_ERR_TRIGGER_MODE";
    case 5334:
      return "FG_ERR_CALLBACK_TYPE";
    case 6001:
      return "FG_ERR_BUFFER_ALLOC";
    default:
      return nullptr;
  }
}

}  // namespace grabline
