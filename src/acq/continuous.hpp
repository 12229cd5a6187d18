// continuous.hpp — the continuous-grab worker that keeps the ring filling.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// continuous_grabbing "enable" / "disable".
Terr EnableContinuousGrabbing(TFgInstance *fginst);
Terr DisableContinuousGrabbing(TFgInstance *fginst);

// Stops the worker (close, ring changes): its wait is cancelled and its end
// awaited.
void StopContinuousWorker(TFgInstance *fginst);

// A port change under a running worker: the worker ends at its next wake,
// without being awaited.
void InterruptContinuousWorker(TFgInstance *fginst);

// Continuous grabbing, when enabled, starts again with a new worker (after
// the ring was rebuilt); FG_OK when it is not enabled.
Terr RestartContinuousGrabbing(TFgInstance *fginst);

// flush_buffers: every filled buffer is given up. Only while a worker's
// semaphore exists.
void FlushFilledBuffers(InstanceRecord &inst);

// The grab's side: waits for the next filled buffer (cancel mutex held).
Terr WaitNextBufferContinuous(Tproc_handle proc_id, TFgInstance *fginst, uint32_t *index);

// Lets a grab waiting for a filled buffer continue (abort).
void ReleaseContinuousWait(TFgInstance *fginst);

}  // namespace grabline
