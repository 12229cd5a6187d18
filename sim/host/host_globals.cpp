// The host globals a plug-in reads.
#include "tarvel.h"

extern "C" {
uint8_t TTraceMemory = 0;
int32_t TDoLowError = 0;
#if defined(TARVEL_BUILD_PAR)
TROInfoRec TROInfo = {};
#endif
}
