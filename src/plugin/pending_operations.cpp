// Class operations whose features are not built yet answer that they are not
// supported. Each moves to its feature's file when that feature lands.
#include "plugin/operations.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

Terr FGOpen(Tproc_handle, TFgInstance *) { return FG_ERR_UNSUPPORTED; }
Terr FGClose(Tproc_handle, TFgInstance *) { return FG_ERR_UNSUPPORTED; }
Terr FGGrab(Tproc_handle, TFgInstance *, Timage *, int32_t *) { return FG_ERR_UNSUPPORTED; }
Terr FGGrabStart(Tproc_handle, TFgInstance *, double) { return FG_ERR_UNSUPPORTED; }
Terr FGGrabAsync(Tproc_handle, TFgInstance *, double, Timage *, int32_t *) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGInfo(Tproc_handle, int32_t, const char **, Tcpar **, int32_t *) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGSetParam(Tproc_handle, TFgInstance *, const char *, Tcpar *, int32_t) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGGetParam(Tproc_handle, TFgInstance *, const char *, Tcpar *, int32_t *) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGSetLut(Tproc_handle, TFgInstance *, int32_t *, int32_t *, int32_t *, int32_t) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGGetLut(Tproc_handle, TFgInstance *, int32_t *, int32_t *, int32_t *, int32_t *) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGSetCallback(Tproc_handle, TFgInstance *, const char *, TFgCallback, void *) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGGetCallback(Tproc_handle, TFgInstance *, const char *, TFgCallback *, void **) {
  return FG_ERR_UNSUPPORTED;
}

}  // namespace grabline
