// Class operations whose features are not built yet answer that they are not
// supported. Each moves to its feature's file when that feature lands.
#include "plugin/operations.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

Terr FGSetLut(Tproc_handle, TFgInstance *, int32_t *, int32_t *, int32_t *, int32_t) {
  return FG_ERR_UNSUPPORTED;
}
Terr FGGetLut(Tproc_handle, TFgInstance *, int32_t *, int32_t *, int32_t *, int32_t *) {
  return FG_ERR_UNSUPPORTED;
}

}  // namespace grabline
