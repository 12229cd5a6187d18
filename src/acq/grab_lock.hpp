// grab_lock.hpp — the instance's cancel mutex, held by every grab operation
// and released around each blocking wait so that an abort can reach it.
#pragma once

#include "board/records.hpp"
#include "plugin/host_call.hpp"

namespace grabline {

inline Terr LockCancelMutex(InstanceRecord *currInst) {
  return HOST_CALL(TpThreadMutexLock(&currInst->cancel_mutex));
}

inline Terr UnlockCancelMutex(InstanceRecord *currInst) {
  return HOST_CALL(TpThreadMutexUnlock(&currInst->cancel_mutex));
}

}  // namespace grabline
