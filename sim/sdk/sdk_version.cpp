// Which SDK version this library is.
#include "bfsim_control.hpp"

namespace bfsim {

bfsdk::SdkVersion Version() {
#if defined(BFSIM_VERSION_XL)
  return bfsdk::SdkVersion::kXl;
#elif defined(BFSIM_VERSION_PAR)
  return bfsdk::SdkVersion::kPar;
#else
  return bfsdk::SdkVersion::kStandard;
#endif
}

}  // namespace bfsim
