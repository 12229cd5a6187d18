// snap.hpp — the wait for the next buffer that every grab shares.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

// Called with the cancel mutex held; returns with it held, having released
// it around every blocking wait. Gives the ring index to assemble.
Terr WaitNextBuffer(Tproc_handle proc_id, TFgInstance *fginst, uint32_t *index);
Terr WaitNextBufferSnap(TFgInstance *fginst, uint32_t *index);

// do_abort_grab / do_abort_capture: a waiting grab returns.
Terr AbortGrab(TFgInstance *fginst);

}  // namespace grabline
