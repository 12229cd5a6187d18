// continuous.hpp — the continuous-grab worker that keeps the ring filling.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

// continuous_grabbing "enable" / "disable".
Terr EnableContinuousGrabbing(TFgInstance *fginst);
Terr DisableContinuousGrabbing(TFgInstance *fginst);

// Stops the worker (close, ring changes): its wait is cancelled and its end
// awaited.
void StopContinuousWorker(TFgInstance *fginst);

// The grab's side: waits for the next filled buffer (cancel mutex held).
Terr WaitNextBufferContinuous(Tproc_handle proc_id, TFgInstance *fginst, uint32_t *index);

// Lets a grab waiting for a filled buffer continue (abort).
void ReleaseContinuousWait(TFgInstance *fginst);

}  // namespace grabline
