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

// HOST_CALL(TpThreadMutexLock(&currInst->cancel_mutex)): the source text the
// host sees is the call as written.
#define HOST_CALL(call) ::grabline::GuardedHostCall([&] { return (call); }, #call, __LINE__)

// HOST_ALLOC(proc_id, size, &ptr) allocates `size` bytes into ptr (any
// pointer type); HOST_FREE(proc_id, ptr) frees it. The _NAMED forms show the
// host `name` in place of the pointer's source text: a pointer that moved
// within the records keeps the name the host's traces and error hooks have
// always shown for it.
#define HOST_ALLOC(proc, size, pptr) GRABLINE_HOST_ALLOC(proc, size, pptr, #proc, #size, #pptr)
#define HOST_ALLOC_NAMED(proc, size, pptr, name) \
  GRABLINE_HOST_ALLOC(proc, size, pptr, #proc, #size, name)
#define HOST_FREE(proc, ptr) GRABLINE_HOST_FREE(proc, ptr, #proc, #ptr)
#define HOST_FREE_NAMED(proc, ptr, name) GRABLINE_HOST_FREE(proc, ptr, #proc, name)

// The two above with the texts already made.
#define GRABLINE_HOST_ALLOC(proc, size, pptr, proc_text, size_text, pptr_text)                 \
  ::grabline::GuardedAlloc(proc, size, reinterpret_cast<void **>(pptr),                        \
                           "TTraceMemory ? TXAllocMemCheck(" proc_text ", " size_text          \
                           ", __FILE__, __LINE__, -112, (void**)" pptr_text                    \
                           ") : TXAlloc(" proc_text ", " size_text ", (void**)" pptr_text ")", \
                           __LINE__)
#define GRABLINE_HOST_FREE(proc, ptr, proc_text, ptr_text)                               \
  ::grabline::GuardedFree(proc, ptr,                                                     \
                          "TTraceMemory ? TXFreeMemCheck(" proc_text ", " ptr_text       \
                          ", __FILE__, __LINE__) : TXFree(" proc_text ", " ptr_text ")", \
                          __LINE__)
