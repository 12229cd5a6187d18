#include "board/ring_memory.hpp"

#include <cstring>
#include <new>

#include "board/host_arrays.hpp"
#include "board/records.hpp"
#include "plugin/host_call.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

Terr FreeBuffer(Tproc_handle proc_id, void **orig, void **aligned) {
  *aligned = nullptr;
  if (*orig == nullptr) return FG_OK;
  const Terr result = HOST_FREE(proc_id, *orig, "*orig");
  *orig = nullptr;
  return result;
}

// Frees n buffers and their arrays' entries; both arrays may be absent.
Terr FreeBuffers(Tproc_handle proc_id, void **orig, void **aligned, uint32_t n) {
  if (orig == nullptr || aligned == nullptr) return FG_OK;
  for (uint32_t i = 0; i < n; ++i) {
    const Terr result = FreeBuffer(proc_id, &orig[i], &aligned[i]);
    if (result != FG_OK) return result;
  }
  return FG_OK;
}

bool NoOtherBoardRingUser(const InstanceRecord &inst) {
  const uint32_t others = inst.board->ring_users - (inst.ring.in_board_ring != 0 ? 1 : 0);
  return others == 0;
}

bool UnpacksThirtyBit(const InstanceRecord &inst) { return inst.ring.unpack_size != 0; }

// Frees this instance's QTabs. Every instance frees its own, whoever owns
// the buffers they describe, so no table outlives its record.
void FreeQTabs(InstanceRecord &inst) {
  if (inst.ring.qtab_ptr == nullptr) return;
  Bd board = inst.board->handle;
  for (uint32_t i = 0; i < inst.ring.count; ++i) {
    if (inst.ring.qtab_ptr[i] == nullptr) continue;
    CiPhysQTabFree(board, inst.ring.qtab_ptr[i]);
    CiRelQTabFree(board, inst.ring.qtab_ptr[i]);
    inst.ring.qtab_ptr[i] = nullptr;
  }
}

Terr AllocRingArrays(Tproc_handle proc_id, InstanceRecord &inst, uint32_t n) {
  Terr r = FG_OK;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.buffer_orig, n, "inst.InstBufferOrig", "n")) != FG_OK)
    return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.frame_buffer, n, "inst.InstFrameBuffer", "n")) != FG_OK)
    return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.unpack_buffer, n, "inst.FrameBuffer30Bit", "n")) != FG_OK)
    return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.unpack_orig, n, "inst.FrameBuf30BitOrig", "n")) != FG_OK)
    return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.qtab, n, "inst.QtabArray", "n")) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.qtab_ptr, n, "inst.QtabPtrArray", "n")) != FG_OK)
    return r;
  if ((r = HOST_ALLOC(proc_id, uint64_t{n} * sizeof *inst.ring.state, &inst.ring.state,
                      "uint64_t{n} * sizeof *inst.State", "&inst.State")) != FG_OK)
    return r;
  for (uint32_t i = 0; i < n; ++i) new (&inst.ring.state[i]) std::atomic<uint32_t>(BufFree);
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.ss_lines, n, "inst.SSLines", "n")) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.ring.encoder_count, n, "inst.EncCount", "n")) != FG_OK)
    return r;
  return ALLOC_ARRAY(proc_id, inst.ring.stamp_words, n, "inst.stamp_words", "n");
}

Terr AllocRingBuffers(Tproc_handle proc_id, InstanceRecord &inst, uint32_t n) {
  BoardInfo &board = *inst.board;
  if (inst.ring.own == 0 && !NoOtherBoardRingUser(inst)) {
    if (board.board_buffer_count >= n && board.board_buffer_size >= inst.ring.buffer_size) {
      for (uint32_t i = 0; i < n; ++i) inst.ring.frame_buffer[i] = board.BoardFrameBuffer[i];
      return FG_OK;
    }
    // The shared ring cannot hold this instance's frames: it gets its own.
    UseOwnRing(inst);
  }
  if (inst.ring.own != 0) {
    for (uint32_t i = 0; i < n; ++i) {
      const Terr r = AllocBuffer(proc_id, inst.ring.buffer_size, &inst.ring.buffer_orig[i],
                                 &inst.ring.frame_buffer[i]);
      if (r != FG_OK) return r;
    }
    return FG_OK;
  }
  Terr r = FG_OK;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardBufferOrig, n, "board.BoardBufferOrig", "n")) != FG_OK)
    return r;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardFrameBuffer, n, "board.BoardFrameBuffer", "n")) != FG_OK)
    return r;
  board.board_buffer_count = n;
  board.board_buffer_size = inst.ring.buffer_size;
  for (uint32_t i = 0; i < n; ++i) {
    r = AllocBuffer(proc_id, inst.ring.buffer_size, &board.BoardBufferOrig[i],
                    &board.BoardFrameBuffer[i]);
    if (r != FG_OK) return r;
    inst.ring.frame_buffer[i] = board.BoardFrameBuffer[i];
  }
  return FG_OK;
}

}  // namespace

Terr AllocBuffer(Tproc_handle proc_id, uint64_t size, void **orig, void **aligned) {
  const Terr result =
      HOST_ALLOC(proc_id, size + kBufferAlignment, orig, "size + kBufferAlignment", "orig");
  if (result != FG_OK) return result;
  *aligned = AlignedStart(*orig);
  return FG_OK;
}

bool OnlyBoardRingUser(const InstanceRecord &inst) {
  return inst.ring.in_board_ring != 0 && inst.board->ring_users == 1;
}

void JoinBoardRing(InstanceRecord &inst) {
  inst.ring.own = 0;
  if (inst.ring.in_board_ring != 0) return;
  inst.ring.in_board_ring = 1;
  ++inst.board->ring_users;
}

void StartBoardRing(InstanceRecord &inst) {
  inst.ring.own = 0;
  inst.ring.in_board_ring = 1;
  inst.board->ring_users = 1;
}

void LeaveBoardRing(InstanceRecord &inst) {
  if (inst.ring.in_board_ring == 0) return;
  inst.ring.in_board_ring = 0;
  --inst.board->ring_users;
}

void UseOwnRing(InstanceRecord &inst) {
  LeaveBoardRing(inst);
  inst.ring.own = 1;
}

void SizeRing(InstanceRecord &inst, const TFgInstance &fginst, uint64_t frame_bytes) {
  inst.ring.buffer_size = frame_bytes;
  if (fginst.num_channels == 3 && fginst.bits_per_channel == 10) {
    inst.ring.unpack_size =
        uint64_t(uint32_t(fginst.image_width)) * uint32_t(fginst.image_height) * 6;
  }
}

Terr AllocRing(Tproc_handle proc_id, InstanceRecord &inst, uint32_t n) {
  Terr r = AllocRingArrays(proc_id, inst, n);
  // From here on the records reference what was made, so a later failure is
  // cleaned up by the next ring change or by close.
  inst.ring.count = n;
  if (r != FG_OK) return r;
  r = AllocRingBuffers(proc_id, inst, n);
  if (r != FG_OK || !UnpacksThirtyBit(inst)) return r;
  for (uint32_t i = 0; i < n; ++i) {
    r = AllocBuffer(proc_id, inst.ring.unpack_size, &inst.ring.unpack_orig[i],
                    &inst.ring.unpack_buffer[i]);
    if (r != FG_OK) return r;
  }
  return FG_OK;
}

Terr FreeBoardRing(Tproc_handle proc_id, InstanceRecord &inst) {
  BoardInfo &board = *inst.board;
  const Terr result =
      FreeBuffers(proc_id, board.BoardBufferOrig, board.BoardFrameBuffer, board.board_buffer_count);
  if (result != FG_OK) return result;
  FREE_ARRAY(proc_id, board.BoardBufferOrig, "board.BoardBufferOrig");
  FREE_ARRAY(proc_id, board.BoardFrameBuffer, "board.BoardFrameBuffer");
  board.board_buffer_count = 0;
  board.board_buffer_size = 0;
  return FG_OK;
}

Terr FreeRingBuffers(Tproc_handle proc_id, InstanceRecord &inst) {
  FreeQTabs(inst);
  Terr result =
      FreeBuffers(proc_id, inst.ring.unpack_orig, inst.ring.unpack_buffer, inst.ring.count);
  if (result != FG_OK) return result;
  if (inst.ring.own != 0) {
    result = FreeBuffers(proc_id, inst.ring.buffer_orig, inst.ring.frame_buffer, inst.ring.count);
  } else if (OnlyBoardRingUser(inst) || NoOtherBoardRingUser(inst)) {
    result = FreeBoardRing(proc_id, inst);
  }
  if (result != FG_OK) return result;
  if (inst.ring.frame_buffer != nullptr) {
    std::memset(inst.ring.frame_buffer, 0, uint64_t{inst.ring.count} * sizeof(void *));
  }
  return FG_OK;
}

Terr FreeRingArrays(Tproc_handle proc_id, InstanceRecord &inst) {
  FREE_ARRAY(proc_id, inst.ring.buffer_orig, "inst.InstBufferOrig");
  FREE_ARRAY(proc_id, inst.ring.frame_buffer, "inst.InstFrameBuffer");
  FREE_ARRAY(proc_id, inst.ring.unpack_buffer, "inst.FrameBuffer30Bit");
  FREE_ARRAY(proc_id, inst.ring.unpack_orig, "inst.FrameBuf30BitOrig");
  FREE_ARRAY(proc_id, inst.ring.qtab, "inst.QtabArray");
  FREE_ARRAY(proc_id, inst.ring.qtab_ptr, "inst.QtabPtrArray");
  FREE_ARRAY(proc_id, inst.ring.state, "inst.State");
  FREE_ARRAY(proc_id, inst.ring.ss_lines, "inst.SSLines");
  FREE_ARRAY(proc_id, inst.ring.encoder_count, "inst.EncCount");
  FREE_ARRAY(proc_id, inst.ring.stamp_words, "inst.stamp_words");
  return FG_OK;
}

Terr DestroyRing(Tproc_handle proc_id, InstanceRecord &inst) {
  Terr result = FreeRingBuffers(proc_id, inst);
  if (result != FG_OK) return result;
  FreeAcquisitionSignal(inst);
  result = FreeRingArrays(proc_id, inst);
  if (result != FG_OK) return result;
  inst.ring.count = 0;
  return FG_OK;
}

CiSIGNAL *AcquisitionSignal(InstanceRecord &inst) {
  return inst.start_stop != 0 ? &inst.ring.start_stop_signal : &inst.ring.signal;
}

void FreeAcquisitionSignal(InstanceRecord &inst) {
  CiSIGNAL &signal = *AcquisitionSignal(inst);
  if (signal.impl != nullptr) {
    CiSignalCancel(inst.board->handle, &signal);
    CiSignalFree(inst.board->handle, &signal);
  }
  signal = CiSIGNAL{};
}

}  // namespace grabline
