// buffer_ring.hpp — the ring of frame buffers an instance acquires into, the
// QTab chain through which the board's DMA fills it, and the software
// time-stamp words inside each buffer.
#pragma once

#include <cstdint>

#include "bfsdk.h"
#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// Board buffers are page aligned inside allocations this much larger.
inline constexpr uint64_t kBufferAlignment = 4096;

// Re-creates the ring with `count` buffers, links and engages the QTab chain
// and starts DMA. With `force` 0 a ring of that count is kept as it is.
Terr ChangeNumBuffers(Tproc_handle proc_id, TFgInstance *fginst, uint32_t count, int force);

// Builds buffer i's QTab; for buffer 0 also the board's acquisition set-up
// (acquisition mode and the signal the continuous-grab worker waits on).
Terr SetUpBoard(TFgInstance *fginst, uint64_t size, uint32_t i);

// The pixel format of the instance's QTabs and of the board's acquisition
// mode: the camera's depth, or the board's second depth.
uint32_t PixelFormat(const InstanceRecord &inst);

// Fills entry i of the fourteen time-stamp word arrays.
Terr SetTimestampAddresses(TFgInstance *fginst, uint32_t i);

// Whose buffers the instance acquires into: the board-owned ring, which counts
// the instances acquiring into it, or a ring of its own. These four are the only
// code that changes that count or the instance's part in it.
// Acquires into the board's ring from now on.
void JoinBoardRing(InstanceRecord &inst);
// The instance's ring has just become the board's: its one user.
void StartBoardRing(InstanceRecord &inst);
// No longer counted among the board's ring users (closing, or an own ring).
void LeaveBoardRing(InstanceRecord &inst);
// Acquires into a ring of its own from now on.
void UseOwnRing(InstanceRecord &inst);

// Gives the instance a ring of its own (volatile mode on): alone on its board
// it takes over the board's buffers, else a fresh ring of the same count is
// built. FG_ERR_BUFFER_ALLOC when that fails.
Terr TakeOwnRing(Tproc_handle proc_id, TFgInstance *fginst);

// Gives an instance's own ring back to the board (volatile mode off, close).
Terr ReturnOwnRing(Tproc_handle proc_id, TFgInstance *fginst);

// Frees the buffers of the ring the instance acquires into, with their QTabs:
// its own ring, or the board's when it is that ring's only user. Leaves the
// per-buffer arrays.
Terr FreeRingBuffers(Tproc_handle proc_id, InstanceRecord &inst);

// Frees every per-buffer array of the instance (and the board's, when the
// board's ring went with it).
Terr FreeRingArrays(Tproc_handle proc_id, InstanceRecord &inst);

// Frees the board-owned buffers and their address arrays.
Terr FreeBoardRing(Tproc_handle proc_id, InstanceRecord &inst);

// The signal the continuous-grab worker waits on: the start/stop one for
// cameras of varying frame length, else the fixed-length one. Every build.
CiSIGNAL *AcquisitionSignal(InstanceRecord &inst);
// Cancels and frees it.
Terr FreeAcquisitionSignal(InstanceRecord &inst);

// Values of 2147483648 and above print "Value must be less than 0x7fffffff."
// and are refused (false).
bool CheckInt32Range(int64_t value);

}  // namespace grabline
