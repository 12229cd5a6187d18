// Parameters that belong to no feature of their own.
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {

Terr SetShowInternalErrors(SetCall &call) {
  bool on = false;
  const Terr result = ReadFlag(call.first(), "true", "false", &on);
  if (result == FG_OK) call.inst->show_error_dlg = on ? 1 : 0;
  return result;
}

Terr GetShowInternalErrors(GetCall &call) {
  AnswerFlag(call, call.inst->show_error_dlg != 0, "true", "false");
  return FG_OK;
}

Terr SetDebugOutput(SetCall &call) {
  bool on = false;
  const Terr result = ReadFlag(call.first(), "true", "false", &on);
  if (result == FG_OK) call.inst->debug_output = on ? 1 : 0;
  return result;
}

namespace {
Terr NoLongerSupported() {
  PrintError("The parameter 'num_simultaneous_cameras' is no longer supported.");
  return FG_ERR_UNSUPPORTED;
}
}  // namespace

Terr SetNumSimultaneousCameras(SetCall &) { return NoLongerSupported(); }
Terr GetNumSimultaneousCameras(GetCall &) { return NoLongerSupported(); }

}  // namespace grabline
