// quick_switch.hpp — Quick Switch region mode: frames alternate, one by one,
// between regions of interest of different sizes, each acquired into a ring
// of its own. While the mode is on the grab operations use those rings and
// bypass the normal one.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// Builds a ring of `numBuffers` buffers for every region and switches the
// board into the mode. A failure leaves nothing allocated and the board
// acquiring into the normal ring as before.
Terr QSSetup(Tproc_handle proc_id, TFgInstance *fginst, uint32_t numBuffers);

// Programs the frame of region quick_switch_next_roi and triggers it.
Terr QSNextFrame(Tproc_handle proc_id, TFgInstance *fginst);

// Waits for the frame in flight and lays an image over its buffer. Called
// with the cancel mutex held; releases it around the wait.
Terr QSGrab(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);

// Leaves the mode: stops the board, releases the region rings and clears the
// mode. While the mode is off, or in a build without the region rings, only
// the mode is cleared. A failing release leaves the mode on.
Terr QSFree(Tproc_handle proc_id, TFgInstance *fginst);

// Gives the board back the instance's own acquisition window.
Terr QSRestoreRegion(TFgInstance *fginst);

// The mode is on: FGGrab, FGGrabStart and FGGrabAsync go to the operations
// below. In the standard build it is a flag only.
bool QSModeOn(const InstanceRecord &inst);

// The mode is on with its region rings built: a grab may be waiting for the
// end of a region frame, which QSCancelWait ends at once.
bool QSRingsActive(const InstanceRecord &inst);
void QSCancelWait(InstanceRecord &inst);

// FGGrab, FGGrabStart and FGGrabAsync while the mode is on.
Terr QSGrabOp(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);
Terr QSGrabStartOp(Tproc_handle proc_id, TFgInstance *fginst);
Terr QSGrabAsyncOp(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);

}  // namespace grabline
