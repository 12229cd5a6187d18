// The board's digital lines: general-purpose outputs (gport, out:n), input
// lines (in:n) and the Camera Link camera-control lines (cc:n).
#include <optional>

#include "board/family.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
namespace {

constexpr int32_t kGportValues = 8;
constexpr int kR64Outputs = 7;
constexpr int kGn2GportValues = 4;
constexpr uint32_t kMaxCameraControl = 7;

Bd BoardOf(const ParamCall &call) { return call.inst->board->handle; }

// The register that reads input line n, if the board has that line.
std::optional<uint32_t> InputRegister(const InstanceRecord &inst, Bd board, int64_t n) {
  const bfsdk::RegisterIds &reg = kProfile.reg;
  if (IsRoadRunner(inst)) {
    if (BFIsCL(board) == 0) return n == 0 ? std::optional(reg.in_rr) : std::nullopt;
    return n == 1 || n == 2 ? std::optional(reg.in_line[n]) : std::nullopt;
  }
  if (IsRaven(inst) || IsR64(inst)) {
    if (n >= 0 && n <= 3) return reg.in_line[n];
    if (n == 4 && IsR64(inst)) return reg.in_r64_4;
    return std::nullopt;
  }
  if (kProfile.has_gn2 && IsGn2(inst) && n >= 0 && n <= 5) return reg.in_gn2[n];
  return std::nullopt;
}

}  // namespace

Terr SetGport(SetCall &call) {
  if (call.count != kGportValues) {
    PrintError("The tuple should contain 8 values.");
    return FG_ERR_PARAM_VALUE;
  }
  if (!IsR64(*call.inst)) {
    PrintError("This parameter is only supported with the R64 family of boards.");
    return FG_ERR_PARAM_VALUE;
  }
  for (int32_t i = 0; i < kGportValues; ++i) {
    const Tcpar &value = call.values[i];
    if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
    if (value.par.l < -1 || value.par.l > 1) {
      PrintError("Tuple values must be either -1, 0 or 1.");
      return FG_ERR_PARAM_VALUE;
    }
  }
  // The eighth value has no output of its own.
  for (int i = 0; i < kR64Outputs; ++i) {
    const int64_t level = call.values[i].par.l;
    if (level == -1) continue;
    if (CiRegGPOutSet(BoardOf(call), 1u << i, static_cast<uint32_t>(level)) != 0) {
      PrintError("Error setting GPout.");
      return FG_ERR_OPERATION_FAILED;
    }
  }
  return FG_OK;
}

Terr GetGport(GetCall &call) {
  Bd board = BoardOf(call);
  if (IsR64(*call.inst)) {
    for (int i = 0; i < kR64Outputs; ++i) {
      call.values[i].type = TPAR_INT;
      call.values[i].par.l = BFRegPeek(board, kProfile.reg.gport_r64[i]);
    }
    *call.count = kR64Outputs;
    return FG_OK;
  }
  if (kProfile.has_gn2 && IsGn2(*call.inst)) {
    for (int i = 0; i < kGn2GportValues; ++i) {
      call.values[i].type = TPAR_INT;
      call.values[i].par.l = BFRegPeek(board, kProfile.reg.gport_gn2);
    }
    *call.count = kGn2GportValues;
    return FG_OK;
  }
  return FG_ERR_UNSUPPORTED;
}

// The value's type is checked before the name is parsed (the dispatch).
Terr SetOutputLevel(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  Bd board = BoardOf(call);
  bool high = false;
  const Terr read = ReadFlag(call.first(), "high", "low", &high);
  if (read != FG_OK) return read;
  const int64_t n = call.number;
  if (n < 0 || n >= OutputLines(inst, board)) return FG_ERR_UNSUPPORTED;
  const uint32_t mask = 1u << n;
  if (IsRoadRunner(inst) && BFIsCL(board) == 0 &&
      BFRegPoke(board, kProfile.reg.out_enable[n], 1) != 0) {
    PrintError("Error setting GPout.");
    return FG_ERR_OPERATION_FAILED;
  }
  // The level is kept only once the board drives it: 'out:n' reads it back.
  if (CiRegGPOutSet(board, mask, high ? 1 : 0) != 0) {
    PrintError("Error setting GPout.");
    return FG_ERR_OPERATION_FAILED;
  }
  inst.gp_out_state = high ? inst.gp_out_state | mask : inst.gp_out_state & ~mask;
  return FG_OK;
}

Terr GetOutputLevel(GetCall &call) {
  const int64_t n = call.number;
  if (n < 0 || n >= OutputLines(*call.inst, BoardOf(call))) return FG_ERR_UNSUPPORTED;
  AnswerFlag(call, (call.inst->gp_out_state & (1u << n)) != 0, "high", "low");
  return FG_OK;
}

Terr GetInputLevel(GetCall &call) {
  Bd board = BoardOf(call);
  const std::optional<uint32_t> reg = InputRegister(*call.inst, board, call.number);
  if (!reg) return FG_ERR_UNSUPPORTED;
  AnswerFlag(call, BFRegPeek(board, *reg) != 0, "high", "low");
  return FG_OK;
}

// The value's type is checked before the name is parsed (the dispatch).
Terr SetCameraControl(SetCall &call) {
  Bd board = BoardOf(call);
  const int64_t value = call.first().par.l;
  if (BFIsCL(board) == 0 || value < 0 || value > kMaxCameraControl) return FG_ERR_UNSUPPORTED;
  // Lines 0 and 1 share the first register.
  const int64_t n = call.number;
  if (n < 0 || n > 3) return FG_ERR_PARAM_VALUE;
  const uint32_t reg = kProfile.reg.cc[n == 0 ? 0 : n - 1];
  if (BFRegPoke(board, reg, static_cast<uint32_t>(value)) != 0) return FG_ERR_OPERATION_FAILED;
  return FG_OK;
}

}  // namespace grabline
