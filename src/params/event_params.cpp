// Parameters of the event threads and callbacks.
#include "acq/event_threads.hpp"
#include "params/handlers.hpp"

namespace grabline {
namespace {

Terr SetThread(SetCall &call, EventKind kind) {
  bool on = false;
  const Terr result = ReadFlag(call.first(), "enable", "disable", &on);
  if (result != FG_OK) return result;
  return on ? StartEventThread(call.fginst, kind) : StopEventThread(call.fginst, kind);
}

Terr SetCount(SetCall &call, std::atomic<uint64_t> &count) {
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  count = static_cast<uint64_t>(call.first().par.l);
  return FG_OK;
}

}  // namespace

Terr SetOverflowThread(SetCall &call) { return SetThread(call, EventKind::kOverflow); }
Terr SetHardwareExceptionThread(SetCall &call) {
  return SetThread(call, EventKind::kHardwareException);
}

Terr GetOverflowThread(GetCall &call) {
  AnswerFlag(call, call.inst->events.overflow.running != 0, "enable", "disable");
  return FG_OK;
}

Terr GetHardwareExceptionThread(GetCall &call) {
  AnswerFlag(call, call.inst->events.hw_exception.running != 0, "enable", "disable");
  return FG_OK;
}

Terr SetOverflowCount(SetCall &call) { return SetCount(call, call.inst->events.overflow.count); }
Terr SetHardwareExceptionCount(SetCall &call) {
  return SetCount(call, call.inst->events.hw_exception.count);
}

Terr GetOverflowCount(GetCall &call) {
  AnswerInt(call, static_cast<int64_t>(call.inst->events.overflow.count.load()));
  return FG_OK;
}

Terr GetHardwareExceptionCount(GetCall &call) {
  AnswerInt(call, static_cast<int64_t>(call.inst->events.hw_exception.count.load()));
  return FG_OK;
}

Terr GetCallbackCounter(GetCall &call) {
  AnswerInt(call, call.inst->events.callback_counter.load());
  return FG_OK;
}

Terr GetAvailableCallbackTypes(GetCall &call) {
  AnswerText(call, "exposure_end", 0);
  AnswerText(call, "transfer_end", 1);
  *call.count = 2;
  return FG_OK;
}

Terr GetTicksPerSecond(GetCall &call) {
  // Only the xl build's SDK has the fine timer; the others answer nothing, and
  // say so with a count of 0 rather than one record the host never sees filled.
  if constexpr (kProfile.has_fine_rate) {
    AnswerDouble(call, static_cast<double>(BFFineRate(call.inst->board->handle)));
  } else {
    *call.count = 0;
  }
  return FG_OK;
}

}  // namespace grabline
