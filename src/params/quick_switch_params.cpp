// Parameters of the Quick Switch region mode: the mode itself, the regions
// and their count, the ring size, and the region the next frame uses.
// Regions and counts change only while the mode is off: the rings are built
// from them when it is switched on.
#include <cstring>
#include <string_view>

#include "acq/quick_switch.hpp"
#include "acq/ring_build.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
namespace {

// Longest region description and longest token taken; anything longer is
// not a region description.
constexpr size_t kMaxRoiText = 256;
constexpr size_t kMaxRoiToken = 64;

enum class Scan { kNoMatch, kMatch, kBad };

// A token as "<keyword> %d" reads it: the keyword, blanks, a sign and
// digits; what follows the digits is ignored. A number beyond 32 bits is
// refused instead of wrapped.
Scan ScanKeyword(std::string_view token, std::string_view keyword, int32_t *out) {
  if (token.substr(0, keyword.size()) != keyword) return Scan::kNoMatch;
  size_t i = keyword.size();
  while (i < token.size() && (token[i] == ' ' || token[i] == '\t')) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  int64_t value = 0;
  size_t digits = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (token[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) return Scan::kBad;
  }
  if (digits == 0) return Scan::kNoMatch;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return Scan::kBad;
  *out = static_cast<int32_t>(value);
  return Scan::kMatch;
}

struct RoiText {
  int32_t roi = 0, width = 0, height = 0;
  bool has_roi = false, has_width = false, has_height = false;
};

// Splits at ':' (empty tokens skipped) and reads each token that names one
// of the three values; the last of several wins.
bool ParseRoiText(std::string_view text, RoiText *parsed) {
  while (!text.empty()) {
    const size_t end = text.find(':');
    const std::string_view token = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (token.empty()) continue;
    if (token.size() > kMaxRoiToken) return false;
    struct Field {
      std::string_view keyword;
      int32_t *value;
      bool *found;
    } fields[] = {{"roi", &parsed->roi, &parsed->has_roi},
                  {"width", &parsed->width, &parsed->has_width},
                  {"height", &parsed->height, &parsed->has_height}};
    for (const Field &field : fields) {
      const Scan scan = ScanKeyword(token, field.keyword, field.value);
      if (scan == Scan::kBad) return false;
      if (scan == Scan::kMatch) *field.found = true;
    }
  }
  return true;
}

}  // namespace

Terr SetQuickSwitchMode(SetCall &call) {
  bool on = false;
  Terr result = ReadFlag(call.first(), "enable", "disable", &on);
  if (result != FG_OK) return result;
  InstanceRecord &inst = *call.inst;
  TFgInstance *fginst = call.fginst;
  if (on) {
    if (QSModeOn(inst)) return FG_OK;
    if (inst.cg.enabled != 0) {
      PrintError("Quick Switch mode can not be enabled while in continuous grabbing mode");
      return FG_ERR_BOARD;
    }
    if (kProfile.has_quick_switch) {
      result = QSSetup(call.proc_id, fginst, inst.quick_switch.num_buffers);
      if (result != FG_OK) return result;
    }
    inst.quick_switch.started = 0;
    inst.quick_switch.mode = 1;
    return FG_OK;
  }
  if (!QSModeOn(inst)) return FG_OK;
  result = QSFree(call.proc_id, fginst);
  if (result != FG_OK) return result;
  QSRestoreRegion(fginst);
  if (ChangeNumBuffers(call.proc_id, fginst, inst.ring.count, 1) != FG_OK) {
    return FG_ERR_BUFFER_ALLOC;
  }
  return FG_OK;
}

Terr GetQuickSwitchMode(GetCall &call) {
  AnswerFlag(call, QSModeOn(*call.inst), "enable", "disable");
  return FG_OK;
}

Terr SetQuickSwitchNextRoi(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l < 0) return FG_ERR_PARAM_VALUE;
  if (value.par.l >= call.inst->quick_switch.num_rois) {
    PrintError("Next ROI requested is greater than number of ROIs available.");
    return FG_ERR_PARAM_VALUE;
  }
  call.inst->quick_switch.next_roi = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr SetQuickSwitchNumRois(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l >= kMaxQuickSwitchRois) {
    PrintError("Number of ROIs requested is greater than maximum allowed.");
    return FG_ERR_PARAM_VALUE;
  }
  // No regions at all would give the mode nothing to acquire into.
  if (value.par.l < 1) return FG_ERR_PARAM_VALUE;
  if (QSModeOn(*call.inst)) {
    PrintError("Number of ROIs can not be changed while in Quick Switch mode");
    return FG_ERR_BOARD;
  }
  call.inst->quick_switch.num_rois = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr SetQuickSwitchNumBuffers(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (QSModeOn(*call.inst)) {
    PrintError("Number of Quick Switch buffers can not be changed while in Quick Switch mode");
    return FG_ERR_BOARD;
  }
  // A ring needs a buffer, and a count must not wrap into a huge one.
  if (value.par.l < 1 || value.par.l > INT32_MAX) return FG_ERR_PARAM_VALUE;
  call.inst->quick_switch.num_buffers = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr SetQuickSwitchSetRoi(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  InstanceRecord &inst = *call.inst;
  if (QSModeOn(inst)) {
    PrintError("Quick Switch ROIs can not be changed while in Quick Switch mode");
    return FG_ERR_BOARD;
  }
  const size_t length = strnlen(value.par.s, kMaxRoiText + 1);
  if (length > kMaxRoiText) return FG_ERR_PARAM_VALUE;
  RoiText parsed;
  if (!ParseRoiText(std::string_view(value.par.s, length), &parsed)) return FG_ERR_PARAM_VALUE;
  if (!parsed.has_roi || !parsed.has_width || !parsed.has_height) return FG_ERR_PARAM_VALUE;
  // A region without pixels would build buffers of no bytes.
  if (parsed.width < 1 || parsed.height < 1) return FG_ERR_PARAM_VALUE;
  if (parsed.roi < 0 || static_cast<uint32_t>(parsed.roi) >= inst.quick_switch.num_rois) {
    PrintError("Requested ROI Number is greater than the number of allocated ROIS");
    return FG_ERR_BOARD;
  }
  QuickSwitchRoi &roi = inst.quick_switch.rois[parsed.roi];
  roi.width = static_cast<uint32_t>(parsed.width);
  roi.height = static_cast<uint32_t>(parsed.height);
  return FG_OK;
}

}  // namespace grabline
