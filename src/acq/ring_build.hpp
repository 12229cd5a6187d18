// ring_build.hpp — (re)building the ring an instance acquires into and
// pointing the board's DMA at it, and handing a ring between the instance and
// its board when volatile mode changes.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

// Re-creates the ring with `count` buffers, links and engages the QTab chain
// and starts DMA. With `force` 0 a ring of that count is kept as it is.
Terr ChangeNumBuffers(Tproc_handle proc_id, TFgInstance *fginst, uint32_t count, int force);

// Gives the instance a ring of its own (volatile mode on): alone on its board
// it takes over the board's buffers, else a fresh ring of the same count is
// built. FG_ERR_BUFFER_ALLOC when that fails.
Terr TakeOwnRing(Tproc_handle proc_id, TFgInstance *fginst);

// Gives an instance's own ring back to the board (volatile mode off, close).
Terr ReturnOwnRing(Tproc_handle proc_id, TFgInstance *fginst);

}  // namespace grabline
