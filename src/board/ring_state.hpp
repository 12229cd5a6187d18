// ring_state.hpp — the ring of frame buffers an instance acquires into.
// Its buffers, arrays, count, sizes and ownership are changed only by the
// ring's own code (ring_memory.cpp, ring_build.cpp), and emptied by open and
// its release. The per-buffer entries (state, lines, encoder count, stamp
// words) are each frame's bookkeeping, written by the continuous-grab worker
// and the grabs.
#pragma once

#include <atomic>
#include <cstdint>

#include "bfsdk.h"
#include "board/timestamp_words.hpp"

namespace grabline {

struct RingState {
  void **frame_buffer = nullptr;   // page-aligned buffers the board fills
  void **buffer_orig = nullptr;    // the allocations behind an own ring's buffers
  void **unpack_buffer = nullptr;  // 30-bit frames unpacked to 16-bit samples
  void **unpack_orig = nullptr;
  RQTabHeadRec *qtab = nullptr;
  RQTabHeadPtr *qtab_ptr = nullptr;
  std::atomic<uint32_t> *state = nullptr;  // BufState of each buffer
  uint32_t *ss_lines = nullptr;            // lines of each start/stop frame
  uint32_t *encoder_count = nullptr;       // encoder count at each frame
  BufferStampWords *stamp_words = nullptr;
  uint32_t count = 0;
  uint64_t buffer_size = 0;
  // What the board raises when a buffer is filled, made by the acquisition
  // set-up and freed with the ring; the second for start/stop cameras.
  CiSIGNAL signal{};
  CiSIGNAL start_stop_signal{};
  uint64_t unpack_size = 0;   // 0: the frames need no unpacking
  uint8_t own = 0;            // the instance's own buffers, not the board's ring
  uint8_t in_board_ring = 0;  // counted among the board's ring users
  uint8_t incomplete = 0;     // the last ring change failed part-way: rebuild, never reuse
};

}  // namespace grabline
