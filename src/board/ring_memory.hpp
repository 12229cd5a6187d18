// ring_memory.hpp — the memory of the ring of frame buffers an instance
// acquires into: its buffers (its own, or the board's shared ring), the
// per-buffer arrays beside them, and who is counted among the board ring's
// users.
#pragma once

#include <cstdint>

#include "bfsdk.h"
#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// Board buffers are page aligned inside allocations this much larger.
inline constexpr uint64_t kBufferAlignment = 4096;

// One buffer of `size` bytes, page aligned inside its allocation.
Terr AllocBuffer(Tproc_handle proc_id, uint64_t size, void **orig, void **aligned);

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

// The instance is the board ring's only user.
bool OnlyBoardRingUser(const InstanceRecord &inst);

// The sizes the next ring build gives its buffers: `frame_bytes` each, and
// for 10-bit colour an unpack buffer of 16-bit samples per frame.
void SizeRing(InstanceRecord &inst, const TFgInstance &fginst, uint64_t frame_bytes);

// Allocates the per-buffer arrays of a ring of n buffers, then the buffers:
// the instance's own, a new board ring, or (when other instances already
// acquire into the board's ring and it is large enough) the board's existing
// buffers; and the unpack buffers of 30-bit frames.
Terr AllocRing(Tproc_handle proc_id, InstanceRecord &inst, uint32_t n);

// Frees the buffers of the ring the instance acquires into, with their QTabs:
// its own ring, or the board's when it is that ring's only user. Leaves the
// per-buffer arrays.
Terr FreeRingBuffers(Tproc_handle proc_id, InstanceRecord &inst);

// Frees every per-buffer array of the instance.
Terr FreeRingArrays(Tproc_handle proc_id, InstanceRecord &inst);

// The whole ring: buffers with their QTabs, the acquisition signal, the
// arrays. Stops at the first failure, leaving the rest for the next try.
Terr DestroyRing(Tproc_handle proc_id, InstanceRecord &inst);

// Frees the board-owned buffers and their address arrays.
Terr FreeBoardRing(Tproc_handle proc_id, InstanceRecord &inst);

// The signal the continuous-grab worker waits on: the start/stop one for
// cameras of varying frame length, else the fixed-length one. Every build.
CiSIGNAL *AcquisitionSignal(InstanceRecord &inst);
// Cancels and frees it.
void FreeAcquisitionSignal(InstanceRecord &inst);

}  // namespace grabline
