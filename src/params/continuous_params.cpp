// Parameters of continuous grabbing.
#include <cstring>

#include "acq/continuous.hpp"
#include "board/family.hpp"
#include "board/process_objects.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {

Terr SetContinuousGrabbing(SetCall &call) {
  bool on = false;
  const Terr result = ReadFlag(call.first(), "enable", "disable", &on);
  if (result != FG_OK) return result;
  // The worker fills every buffer of the ring; a ring whose re-creation failed lacks some.
  if (on && call.inst->ring.incomplete != 0) return FG_ERR_BUFFER_ALLOC;
  return on ? EnableContinuousGrabbing(call.fginst) : DisableContinuousGrabbing(call.fginst);
}

Terr GetContinuousGrabbing(GetCall &call) {
  AnswerFlag(call, call.inst->cg.enabled != 0, "enable", "disable");
  return FG_OK;
}

Terr SetOverwriteMethod(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  if (EqualsIgnoreCase(value.par.s, "abort")) {
    call.inst->cg.overwrite_method = kOverwriteAbort;
  } else if (EqualsIgnoreCase(value.par.s, "ignore")) {
    call.inst->cg.overwrite_method = kOverwriteIgnore;
  } else if (EqualsIgnoreCase(value.par.s, "holdoff")) {
    PrintError("The holdoff overwrite method is not supported");
    return FG_ERR_UNSUPPORTED;
  } else {
    return FG_ERR_PARAM_VALUE;
  }
  return FG_OK;
}

Terr GetOverwriteMethod(GetCall &call) {
  AnswerFlag(call, call.inst->cg.overwrite_method != kOverwriteAbort, "ignore", "abort");
  return FG_OK;
}

Terr SetRingBufferStopMargin(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  InstanceRecord &inst = *call.inst;
  if (inst.cg.enabled != 0) {
    PrintError(
        "The ring buffer stop margin can not be changed while continuous grabbing is enabled.");
    return FG_ERR_BOARD;
  }
  if (value.par.l < 1 || value.par.l > inst.ring.count) return FG_ERR_PARAM_VALUE;
  inst.cg.stop_margin = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr GetRingBufferStopMargin(GetCall &call) {
  AnswerInt(call, call.inst->cg.stop_margin.load());
  return FG_OK;
}

Terr GetNumFreeBuffers(GetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (inst.cg.enabled == 0) {
    PrintError(
        "The parameter 'num_free_buffers' is only supported together with 'continuous_grabbing'.");
    return FG_ERR_GET_FAILED;
  }
  int64_t free = 0;
  for (uint32_t i = 0; i < inst.ring.count; ++i) free += inst.ring.state[i] == BufFree ? 1 : 0;
  AnswerInt(call, free);
  return FG_OK;
}

Terr SetFlushBuffers(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (inst.cg.enabled == 0 || inst.cg.semaphore == nullptr) {
    PrintError("Flushing buffers in only valid in continuous grab mode.\n");
    return FG_ERR_BOARD;
  }
  FlushFilledBuffers(inst);
  return FG_OK;
}

Terr SetResetAbsBufferIndex(SetCall &call) {
  ResetAbsoluteIndex(call.inst->position);
  return FG_OK;
}

Terr GetResetAbsBufferIndex(GetCall &call) {
  InstanceRecord &inst = *call.inst;
  ResetAbsoluteIndex(inst.position);
  AnswerInt(call, IsGn2(inst) ? 0 : BFRegPeek(inst.board->handle, kProfile.reg.acq_busy));
  return FG_OK;
}

Terr SetBufferData(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  InstanceRecord &inst = *call.inst;
  const int byte = static_cast<int>(value.par.l & 0xFF);
  for (uint32_t i = 0; i < inst.ring.count; ++i) {
    if (inst.ring.frame_buffer != nullptr && inst.ring.frame_buffer[i] != nullptr) {
      std::memset(inst.ring.frame_buffer[i], byte, inst.ring.buffer_size);
    }
    if (inst.ring.unpack_buffer != nullptr && inst.ring.unpack_buffer[i] != nullptr) {
      std::memset(inst.ring.unpack_buffer[i], byte, inst.ring.unpack_size);
    }
  }
  return FG_OK;
}

Terr SetSoftwareTimestamp(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  if constexpr (!kProfile.has_software_timestamps) {
    PrintError("Software time stamp is not supported for this version of the BitFlow SDK.");
    return FG_ERR_OPERATION_FAILED;
  }
  return StoreFlag(value, "true", "false", call.inst->software_timestamp);
}

}  // namespace grabline
