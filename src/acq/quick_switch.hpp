// quick_switch.hpp — Quick Switch region mode: frames alternate, one by one,
// between regions of interest of different sizes, each acquired into a ring
// of its own. While the mode is on the grab operations use those rings and
// bypass the normal one.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

// Builds a ring of `numBuffers` buffers for every region and switches the
// board into the mode. A failure leaves nothing allocated and the board
// acquiring into the normal ring as before.
Terr QSSetup(Tproc_handle proc_id, TFgInstance *fginst, uint32_t numBuffers);

// Programs the frame of region quick_switch_next_roi and triggers it.
Terr QSNextFrame(Tproc_handle proc_id, TFgInstance *fginst);

// Waits for the frame in flight and lays an image over its buffer. Called
// with the cancel mutex held; releases it around the wait.
Terr QSGrab(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);

// Leaves the mode and releases the region rings; nothing while the mode is off.
Terr QSFree(Tproc_handle proc_id, TFgInstance *fginst);

// Gives the board back the instance's own acquisition window.
Terr QSRestoreRegion(TFgInstance *fginst);

// FGGrab, FGGrabStart and FGGrabAsync while the mode is on.
Terr QSGrabOp(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);
Terr QSGrabStartOp(Tproc_handle proc_id, TFgInstance *fginst);
Terr QSGrabAsyncOp(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);

}  // namespace grabline
