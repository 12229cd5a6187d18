// The plug-in's one exported entry point.
#include "platform/build_profile.hpp"

extern "C" __attribute__((visibility("default"))) Terr FGInit(Tproc_handle, TFgClass *fg_class) {
  (void)fg_class;
  return grabline::kOk;
}
