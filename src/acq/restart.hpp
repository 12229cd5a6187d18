// restart.hpp — the helpers every acquisition error path uses: abort, reset
// and re-arm the board, record the lines still to come, read whether a frame
// is in progress.
#pragma once

#include <cstdint>

#include "bfsdk.h"
#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

inline constexpr int kRestartAbort = 1;
inline constexpr int kRestartRearm = 5;

// Mode 1 aborts DMA and acquisition; mode 5 shuts the board down, re-engages
// the QTab chain, clears the return counters and restarts DMA.
Terr RestartAcquisition(TFgInstance *fginst, int mode);

// Keeps the board's lines-to-go count (boards other than Gn2).
Terr RecordLinesToGo(TFgInstance *fginst);

// Status words of the board's acquisition; either non-zero means a frame is
// being acquired. Returns 0, or BF_ERR_BAD_BRD_TYPE for boards without them.
uint32_t ReadAcquisitionStatus(Bd board, uint32_t *status_a, uint32_t *status_b);
bool FrameInProgress(Bd board);

}  // namespace grabline
