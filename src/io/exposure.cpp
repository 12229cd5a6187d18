// Exposure and line or frame rate on the board's timing generator (NTG):
// set_exposure_and_rate programs all of it, shutter_speed the exposure alone.
#include <cstring>
#include <string_view>

#include "io/tokens.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
namespace {

constexpr uint32_t kMaxOutput = 0xFF;

// The texts for the timing generator's refusals that have one.
void ReportTimingFailure(uint32_t e) {
  PrintError("The set exposure function failed.");
  switch (e) {
    case BF_NTG_NOT_SUPPORTED:
      PrintError("Board does not support NTG.");
      break;
    case BF_NTG_OUT_OF_RANGE:
      PrintError("NTG parameters are out of range of NTG.");
      break;
    case BF_NTG_EXPOSURE_LONG:
      PrintError("The exposure period is longer than the line/frame period.");
      break;
    case BF_NTG_BAD_MODE:
      PrintError("NTG Trigger mode is unknown.");
      break;
    default:
      break;
  }
}

struct Timing {
  double exposure = 0;
  double period = 0;
  uint32_t trig_mode = 0;
  uint32_t assert_high = 0;
  uint32_t output = 0;
};

Terr Program(Bd board, const Timing &t) {
  const uint32_t e =
      CiConExposureControlSet(board, t.exposure, t.period, t.trig_mode, t.assert_high, t.output);
  if (e == 0) return FG_OK;
  ReportTimingFailure(e);
  return FG_ERR_OPERATION_FAILED;
}

// A string value no longer than the working copy it is split in.
bool ReadText(const Tcpar &value, std::string_view *text) {
  if (value.type != TPAR_STRING || value.par.s == nullptr) return false;
  *text = std::string_view(value.par.s, strnlen(value.par.s, kMaxTokenText + 1));
  return true;
}

}  // namespace

Terr SetExposureAndRate(SetCall &call) {
  std::string_view text;
  if (!ReadText(call.first(), &text)) return FG_ERR_PARAM_TYPE;
  enum { kExp, kPeriod, kTrigMode, kAssert, kOutput };
  TokenField fields[] = {{"exp", TokenKind::kReal},
                         {"period", TokenKind::kReal},
                         {"trig_mode", TokenKind::kWord},
                         {"assert", TokenKind::kWord},
                         {"output", TokenKind::kHex}};
  if (ParseTokens(text, fields) != TokenText::kOk) return FG_ERR_PARAM_VALUE;
  for (const TokenField &field : fields) {
    // Words longer than their fields are refused like missing ones.
    if (!field.seen || (field.kind == TokenKind::kWord && !field.fits)) return FG_ERR_PARAM_VALUE;
  }
  Timing t;
  t.exposure = fields[kExp].real;
  t.period = fields[kPeriod].real;
  const std::string_view mode = fields[kTrigMode].word;
  if (mode == "freerun") {
    t.trig_mode = 0;
  } else if (mode == "oneshot_trigger") {
    t.trig_mode = 1;
  } else if (mode == "oneshot_encoder") {
    t.trig_mode = 2;
  } else {
    PrintError(
        "Unsupported trigger mode. Please use 'freerun', 'oneshot_trigger' or 'oneshot_encoder' "
        ".");
    return FG_ERR_PARAM_VALUE;
  }
  const std::string_view polarity = fields[kAssert].word;
  if (polarity == "high") {
    t.assert_high = 1;
  } else if (polarity == "low") {
    t.assert_high = 0;
  } else {
    PrintError("Unsupported asserted_high parameter. Please use 'high' or 'low'.");
    return FG_ERR_PARAM_VALUE;
  }
  if (!fields[kOutput].fits || fields[kOutput].number > kMaxOutput) {
    PrintError("Unsupported output_signal parameter. Please use value between 0x0000 and 0x00ff.");
    return FG_ERR_PARAM_VALUE;
  }
  t.output = static_cast<uint32_t>(fields[kOutput].number);
  return Program(call.inst->board->handle, t);
}

Terr SetShutterSpeed(SetCall &call) {
  if (call.first().type != TPAR_DOUBLE) return FG_ERR_PARAM_TYPE;
  Bd board = call.inst->board->handle;
  Timing t;
  const uint32_t e = CiConExposureControlGet(board, &t.exposure, &t.period, &t.trig_mode,
                                             &t.assert_high, &t.output);
  if (e != 0) {
    PrintError("The set exposure function failed.");
    if (e == BF_NTG_NOT_SUPPORTED) PrintError("Board does not support NTG.");
    return FG_ERR_OPERATION_FAILED;
  }
  t.exposure = call.first().par.d;
  return Program(board, t);
}

}  // namespace grabline
