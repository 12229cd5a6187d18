// result_codes.hpp — the result codes the plug-in returns to the host.
#pragma once

#include "platform/build_profile.hpp"

namespace grabline {

// Success is the host's own code: 2, or 1 in the par build.
inline constexpr Terr FG_OK = kOk;

inline constexpr Terr FG_FAIL = 5;
inline constexpr Terr FG_ERR_LUT_LENGTH = 1401;
inline constexpr Terr FG_ERR_SERIAL_HANDLE = 5251;
inline constexpr Terr FG_ERR_SERIAL_NOT_CL = 5252;
inline constexpr Terr FG_ERR_SERIAL_INIT = 5253;
inline constexpr Terr FG_ERR_SERIAL_SETTINGS = 5256;
inline constexpr Terr FG_ERR_SERIAL_WRITE = 5261;
inline constexpr Terr FG_ERR_SERIAL_BUFFER = 5262;
inline constexpr Terr FG_ERR_DRIVER_NOT_READY = 5300;
inline constexpr Terr FG_ERR_BITS_PER_CHANNEL = 5301;
inline constexpr Terr FG_ERR_BOARD_OPEN = 5302;
inline constexpr Terr FG_ERR_GRAB = 5306;
inline constexpr Terr FG_ERR_RESOLUTION = 5307;
inline constexpr Terr FG_ERR_IMAGE_PART = 5308;
inline constexpr Terr FG_ERR_BOARD = 5312;
inline constexpr Terr FG_ERR_COLOR_SPACE = 5315;
inline constexpr Terr FG_ERR_PORT = 5316;
inline constexpr Terr FG_ERR_CAMERA_SELECT = 5317;
inline constexpr Terr FG_ERR_DEVICE_BUSY = 5319;
inline constexpr Terr FG_ERR_UNSUPPORTED = 5321;
inline constexpr Terr FG_ERR_TIMEOUT = 5322;
inline constexpr Terr FG_ERR_PARAM_TYPE = 5325;
inline constexpr Terr FG_ERR_PARAM_VALUE = 5326;
inline constexpr Terr FG_ERR_LUT_UNSUPPORTED = 5327;
inline constexpr Terr FG_ERR_OPERATION_FAILED = 5329;
inline constexpr Terr FG_ERR_GET_FAILED = 5330;
inline constexpr Terr FG_ERR_TRIGGER_MODE = 5331;
inline constexpr Terr FG_ERR_CALLBACK_TYPE = 5334;
inline constexpr Terr FG_ERR_BUFFER_ALLOC = 6001;

// True when a host call's result is a failure. The hosts disagree on what
// counts: the xl host treats every code above its success code as a failure
// (codes below it are informational), the others anything but success.
constexpr bool IsHostFailure(Terr result) {
  return kProfile.failure_above_ok ? result > kOk : result != kOk;
}

// The name of a code as the tools print it ("FG_ERR_BOARD"); null if unknown.
const char *ResultCodeName(Terr code);

}  // namespace grabline
