#include "plugin/host_call.hpp"

#include "tarvel.h"

namespace grabline {

bool SpyingOn() {
#if defined(TARVEL_BUILD_PAR)
  // The par host has no switch function; its read-only info record tells.
  return TROInfo.spy_on != 0 && TROInfo.spy_proc != 0;
#else
  return IOGetSpyProcCallSwitch() != 0;
#endif
}

void SpyCall(const char *text, int line) {
  if (SpyingOn()) IOSpyProcCall(text, line, kProfile.source_file);
}

Terr CheckHostResult(Terr result, const char *text, int line) {
  if (!IsHostFailure(result)) return FG_OK;
  const Terr hook = TProcessErr(text, result, line, kProfile.source_file);
  return IsHostFailure(hook) ? hook : result;
}

namespace {

// The host's free, traced while TTraceMemory asks for it.
Terr HostFree(Tproc_handle proc_id, void *ptr, int line) {
  return TTraceMemory ? TXFreeMemCheck(proc_id, ptr, kProfile.source_file, line)
                      : TXFree(proc_id, ptr);
}

}  // namespace

Terr GuardedAlloc(Tproc_handle proc_id, size_t size, void **ptr, const char *text, int line) {
  SpyCall(text, line);
  *ptr = nullptr;
  const Terr result = TTraceMemory
                          ? TXAllocMemCheck(proc_id, size, kProfile.source_file, line, -112, ptr)
                          : TXAlloc(proc_id, size, ptr);
  if (IsHostFailure(result) && *ptr != nullptr) {
    // A host may hand out the block and still answer an error. The allocation
    // failed all the same, so its block goes back rather than being lost.
    HostFree(proc_id, *ptr, line);
    *ptr = nullptr;
  }
  return CheckHostResult(result, text, line);
}

Terr GuardedFree(Tproc_handle proc_id, void *ptr, const char *text, int line) {
  SpyCall(text, line);
  return CheckHostResult(HostFree(proc_id, ptr, line), text, line);
}

}  // namespace grabline
