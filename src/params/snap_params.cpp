// Parameters of snaps and their waits.
#include "acq/restart.hpp"
#include "acq/snap.hpp"
#include "board/family.hpp"
#include "params/handlers.hpp"

namespace grabline {

Terr SetGrabTimeout(SetCall &call) { return StoreInt32Limited(call.first(), call.inst->grab_timeout); }

Terr GetGrabTimeout(GetCall &call) {
  AnswerInt(call, static_cast<int32_t>(call.inst->grab_timeout));
  return FG_OK;
}

Terr SetTriggerTimeout(SetCall &call) {
  return StoreInt32Limited(call.first(), call.inst->cg.timeout);
}

Terr GetTriggerTimeout(GetCall &call) {
  AnswerInt(call, static_cast<int32_t>(call.inst->cg.timeout.load()));
  return FG_OK;
}

Terr SetResnap(SetCall &call) { return StoreFlag(call.first(), "true", "false", call.inst->resnap); }

Terr GetResnap(GetCall &call) {
  AnswerFlag(call, call.inst->resnap != 0, "true", "false");
  return FG_OK;
}

Terr SetStartAsyncAfterGrabAsync(SetCall &call) {
  return StoreFlag(call.first(), "enable", "disable", call.inst->start_async_after_grab_async);
}

Terr GetStartAsyncAfterGrabAsync(GetCall &call) {
  AnswerFlag(call, call.inst->start_async_after_grab_async != 0, "enable", "disable");
  return FG_OK;
}

Terr SetAbortGrab(SetCall &call) { return AbortGrab(call.fginst); }

Terr SetWaitFrameExposure(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  if (!IsR64(*call.inst)) return FG_OK;
  Bd board = call.inst->board->handle;
  if (EqualsIgnoreCase(value.par.s, "enable")) {
    BFRegRMW(board, kProfile.reg.wait_exposure, bfsdk::kWaitExposureBit, bfsdk::kWaitExposureBit);
  } else if (EqualsIgnoreCase(value.par.s, "disable")) {
    BFRegRMW(board, kProfile.reg.wait_exposure, 0, bfsdk::kWaitExposureBit);
  }
  return FG_OK;
}

Terr GetWaitFrameExposure(GetCall &call) {
  InstanceRecord &inst = *call.inst;
  Bd board = inst.board->handle;
  int64_t answer = 0;
  if (IsR64(inst) &&
      (BFRegPeek(board, kProfile.reg.wait_exposure) & bfsdk::kWaitExposureBit) != 0) {
    const uint32_t result =
        CiSignalWait(board, &inst.exposure_signal, inst.wait_frame_exposure_timeout, nullptr);
    answer = result == 0 ? 2 : result == BF_WAIT_TIMEOUT ? 1 : 0;
  }
  AnswerInt(call, answer);
  return FG_OK;
}

Terr SetWaitFrameExposureTimeout(SetCall &call) {
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  call.inst->wait_frame_exposure_timeout = static_cast<uint32_t>(call.first().par.l);
  return FG_OK;
}

Terr GetWaitFrameExposureTimeout(GetCall &call) {
  AnswerInt(call, static_cast<int32_t>(call.inst->wait_frame_exposure_timeout));
  return FG_OK;
}

Terr GetEndOfExposure(GetCall &call) {
  AnswerInt(call, BFRegPeek(call.inst->board->handle, kProfile.reg.end_of_exposure) != 0 ? 1 : 0);
  return FG_OK;
}

Terr GetLastLinesToGo(GetCall &call) {
  AnswerInt(call, call.inst->lines_to_go.exchange(-1));
  return FG_OK;
}

}  // namespace grabline
