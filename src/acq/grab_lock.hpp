// grab_lock.hpp — the instance's cancel mutex, held by every grab operation
// and released around each blocking wait so that an abort can reach it.
#pragma once

#include "board/records.hpp"
#include "plugin/host_call.hpp"

namespace grabline {

inline Terr LockCancelMutex(InstanceRecord &inst) {
  return HOST_CALL("TpThreadMutexLock(&currInst->cancel_mutex)",
                   TpThreadMutexLock(&inst.cancel_mutex));
}

// A refused unlock would leave the mutex to this thread for good: every later
// grab, abort and the destroy at close would be shut out. It is tried once
// more; the refusal is still reported and returned.
inline Terr UnlockCancelMutex(InstanceRecord &inst) {
  const Terr result = HOST_CALL("TpThreadMutexUnlock(&currInst->cancel_mutex)",
                                TpThreadMutexUnlock(&inst.cancel_mutex));
  if (result != FG_OK) TpThreadMutexUnlock(&inst.cancel_mutex);
  return result;
}

}  // namespace grabline
