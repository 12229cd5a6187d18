// How an instance is triggered: software triggering of grabs (with the take-
// over of the GN2 trigger register in the xl build), a trigger on demand,
// the external trigger input, and the encoder.
#include "board/family.hpp"
#include "board/trigger_modes.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
namespace {

// Trigger register value that hands a GN2 board's trigger to software.
constexpr uint32_t kGn2SoftwareTrigger = 8;
constexpr int64_t kMaxDivider = 1023;

Bd BoardOf(const ParamCall &call) { return call.inst->board->handle; }

bool IsGn2Board(Bd board) { return kProfile.has_gn2 && BFIsGn2(board) != 0; }

// On a GN2 board without a one-shot camera file software triggering takes
// the trigger register over; its value is kept for the hand-back.
Terr TakeOverGn2Trigger(InstanceRecord &inst, Bd board) {
  if (!IsGn2Board(board) || inst.oneshot_mode != 0) return FG_OK;
  const uint32_t saved = BFRegPeek(board, kProfile.reg.gn2_trigger);
  if (BFRegPoke(board, kProfile.reg.gn2_trigger, kGn2SoftwareTrigger) != 0) {
    return FG_ERR_OPERATION_FAILED;
  }
  inst.gn2_trigger_saved = saved;
  inst.oneshot_mode = 1;
  return FG_OK;
}

Terr HandBackGn2Trigger(InstanceRecord &inst, Bd board) {
  if (!IsGn2Board(board) || inst.gn2_trigger_saved == -1) return FG_OK;
  // A refused write keeps the saved value, so a later "disable" can retry.
  if (BFRegPoke(board, kProfile.reg.gn2_trigger, static_cast<uint32_t>(inst.gn2_trigger_saved)) !=
      0) {
    return FG_ERR_OPERATION_FAILED;
  }
  inst.oneshot_mode = 0;
  inst.gn2_trigger_saved = -1;
  return FG_OK;
}

}  // namespace

Terr SetSoftwareTrigger(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  Bd board = BoardOf(call);
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  // The take-over comes before the word is looked at.
  Terr result = TakeOverGn2Trigger(inst, board);
  if (result != FG_OK) return result;
  if (EqualsIgnoreCase(value.par.s, "enable")) {
    if (inst.oneshot_mode == 0) {
      PrintError("Software trigger mode and only be used with one shot triggering.");
      return FG_ERR_TRIGGER_MODE;
    }
    // Software and external triggering exclude each other; a trigger input
    // left connected would start frames of its own.
    if (CiConExTrigConnect(board, BF_TRIG_INPUT, BF_TRIG_DISCONNECT) != 0) {
      PrintError("Error disabling external trigger.\n");
      return FG_ERR_BOARD;
    }
    call.fginst->external_trigger = 0;
    inst.software_trigger_on = 1;
    return FG_OK;
  }
  if (EqualsIgnoreCase(value.par.s, "disable")) {
    inst.software_trigger_on = 0;
    return HandBackGn2Trigger(inst, board);
  }
  return FG_ERR_PARAM_VALUE;
}

Terr GetSoftwareTrigger(GetCall &call) {
  AnswerFlag(call, call.inst->software_trigger_on != 0, "enable", "disable");
  return FG_OK;
}

// The value is never read. A trigger the board refuses is reported.
Terr SetForceTrigger(SetCall &call) {
  Bd board = BoardOf(call);
  if (!IsGn2Board(board)) {
    return CiConSwTrig(board, BF_TRIG_INPUT, BF_TRIG_PULSE) == 0 ? FG_OK : FG_ERR_OPERATION_FAILED;
  }
  // A pulse on the GN2 trigger register; its value is put back afterwards
  // whatever happened, a software-trigger take-over included.
  const uint32_t id = kProfile.reg.gn2_trigger;
  const uint32_t kept = BFRegPeek(board, id);
  uint32_t e = BFRegPoke(board, id, 0);
  if (e == 0) e = BFRegPoke(board, id, 1);
  if (e == 0) e = BFRegPoke(board, id, 0);
  e |= BFRegPoke(board, id, kept);
  return e == 0 ? FG_OK : FG_ERR_OPERATION_FAILED;
}

Terr SetExternalTrigger(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  Bd board = BoardOf(call);
  bool enable = false;
  const Terr read = ReadFlag(call.first(), "enable", "disable", &enable);
  if (read != FG_OK) return read;
  if (!enable) {
    if (CiConExTrigConnect(board, BF_TRIG_INPUT, BF_TRIG_DISCONNECT) != 0) {
      PrintError("Error disabling external trigger.\n");
      return FG_ERR_BOARD;
    }
    call.fginst->external_trigger = 0;
    return FG_OK;
  }
  uint32_t mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  CiConVTrigModeGet(board, &mode, &trig_a, &trig_b, &trig_c);
  const bool any_camera = !IsGn2(inst) && (BFRegPeek(board, kProfile.reg.trig_capability) &
                                           bfsdk::kTrigAnyCameraBit) != 0;
  if (!TriggeredFile(mode) && !any_camera) {
    PrintError(
        "The board only supports external triggering with external trigger camera files such as "
        "one-shot.\n");
    return FG_ERR_BOARD;
  }
  if (CiConExTrigConnect(board, BF_TRIG_INPUT, BF_TRIG_CONNECT) != 0) {
    PrintError("Error enabling external trigger.\n");
    return FG_ERR_BOARD;
  }
  call.fginst->external_trigger = 1;
  inst.software_trigger_on = 0;
  return FG_OK;
}

Terr SetEncoderScanStep(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l > kMaxDivider) {
    PrintError("The largest divider value is 1023");
    return FG_ERR_PARAM_VALUE;
  }
  if (value.par.l < 0) return FG_ERR_PARAM_VALUE;
  Bd board = BoardOf(call);
  const uint32_t divider = static_cast<uint32_t>(value.par.l);
  uint32_t e = 0;
  if (BFIsR64Board(board) != 0) {
    e = BFRegPoke(board, kProfile.reg.enc_div_r64, divider);
  } else if (BFIsKbn(board) != 0 || BFIsNeon(board) != 0) {
    e = BFRegPoke(board, kProfile.reg.enc_div_kbn, divider);
  }
  return e == 0 ? FG_OK : FG_ERR_OPERATION_FAILED;
}

// Boards without an encoder divider answer 0.
Terr GetEncoderScanStep(GetCall &call) {
  Bd board = BoardOf(call);
  uint32_t divider = 0;
  if (BFIsR64Board(board) != 0) {
    divider = BFRegPeek(board, kProfile.reg.enc_div_r64);
  } else if (BFIsKbn(board) != 0 || BFIsNeon(board) != 0 || IsGn2(*call.inst)) {
    divider = BFRegPeek(board, kProfile.reg.enc_div_kbn);
  }
  AnswerInt(call, divider);
  return FG_OK;
}

Terr GetLastEncoderCount(GetCall &call) {
  AnswerInt(call, static_cast<int32_t>(call.inst->last_encoder_count.load()));
  return FG_OK;
}

}  // namespace grabline
