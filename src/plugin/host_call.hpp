// host_call.hpp — the one way the plug-in calls the host for anything that can
// fail: traced while the host spies on calls, and on failure handed to the
// host's error hook with the call's source text, line and file name.
#pragma once

#include <cstddef>

#include "plugin/result_codes.hpp"

namespace grabline {

// Spying is on (the host's switch, or both TROInfo flags in the par host).
bool SpyingOn();

// Traces a call before it is made.
void SpyCall(const char *text, int line);

// Checks a host call's result: success gives FG_OK; a failure goes to
// TProcessErr, whose answer is returned if it is itself a failure, else the
// call's own result.
Terr CheckHostResult(Terr result, const char *text, int line);

// Allocation and freeing with the tracing allocators while TTraceMemory is
// set, else the plain ones; guarded as above.
Terr GuardedAlloc(Tproc_handle proc_id, size_t size, void **ptr, const char *text, int line);
Terr GuardedFree(Tproc_handle proc_id, void *ptr, const char *text, int line);

template <typename Call>
Terr GuardedHostCall(Call &&call, const char *text, int line) {
  SpyCall(text, line);
  return CheckHostResult(call(), text, line);
}

}  // namespace grabline

// The host's error hook and spy are shown `text` beside the line: the call as
// the host's users have always seen it. It is written out at each call, so a
// renamed variable or a reformatted line leaves the host's view unchanged:
//   HOST_CALL("TpThreadMutexLock(&currInst->cancel_mutex)",
//             TpThreadMutexLock(&inst.cancel_mutex))
#define HOST_CALL(text, call) ::grabline::GuardedHostCall([&] { return (call); }, text, __LINE__)

// HOST_ALLOC(proc, size, pptr, size_text, pptr_text) allocates `size` bytes
// into *pptr (any pointer type); HOST_FREE(proc, ptr, ptr_text) frees it. The
// texts are what the host is shown for the size and the pointer; the process
// handle is shown by the name the host's own interface gives it.
#define HOST_ALLOC(proc, size, pptr, size_text, pptr_text)                               \
  ::grabline::GuardedAlloc(proc, size, reinterpret_cast<void **>(pptr),                  \
                           "TTraceMemory ? TXAllocMemCheck(proc_id, " size_text          \
                           ", __FILE__, __LINE__, -112, (void**)" pptr_text              \
                           ") : TXAlloc(proc_id, " size_text ", (void**)" pptr_text ")", \
                           __LINE__)
#define HOST_FREE(proc, ptr, ptr_text)                                             \
  ::grabline::GuardedFree(proc, ptr,                                               \
                          "TTraceMemory ? TXFreeMemCheck(proc_id, " ptr_text       \
                          ", __FILE__, __LINE__) : TXFree(proc_id, " ptr_text ")", \
                          __LINE__)
