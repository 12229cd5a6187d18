#include "board/buffer_ring.hpp"

#include <cstring>
#include <new>

#include "acq/restart.hpp"
#include "board/family.hpp"
#include "board/host_arrays.hpp"
#include "board/trigger_modes.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"

namespace grabline {
namespace {

// One buffer of `size` bytes, page aligned inside its allocation.
Terr AllocBuffer(Tproc_handle proc_id, uint64_t size, void **orig, void **aligned) {
  const Terr result = HOST_ALLOC(proc_id, size + kBufferAlignment, orig);
  if (result != FG_OK) return result;
  *aligned = AlignedStart(*orig);
  return FG_OK;
}

Terr FreeBuffer(Tproc_handle proc_id, void **orig, void **aligned) {
  *aligned = nullptr;
  if (*orig == nullptr) return FG_OK;
  const Terr result = HOST_FREE(proc_id, *orig);
  *orig = nullptr;
  return result;
}

bool OnlyBoardRingUser(const InstanceRecord &inst) {
  return inst.in_board_ring != 0 && inst.board->ring_users == 1;
}

bool NoOtherBoardRingUser(const InstanceRecord &inst) {
  const uint32_t others = inst.board->ring_users - (inst.in_board_ring != 0 ? 1 : 0);
  return others == 0;
}

bool UnpacksThirtyBit(const InstanceRecord &inst) { return inst.sizeBuffer30Bit != 0; }

// Frees this instance's QTabs. Every instance frees its own, whoever owns
// the buffers they describe, so no table outlives its record.
void FreeQTabs(InstanceRecord &inst) {
  if (inst.QtabPtrArray == nullptr) return;
  Bd board = inst.board->handle;
  for (uint32_t i = 0; i < inst.numBuffers; ++i) {
    if (inst.QtabPtrArray[i] == nullptr) continue;
    CiPhysQTabFree(board, inst.QtabPtrArray[i]);
    CiRelQTabFree(board, inst.QtabPtrArray[i]);
    inst.QtabPtrArray[i] = nullptr;
  }
}

}  // namespace

void JoinBoardRing(InstanceRecord &inst) {
  inst.own_ring = 0;
  if (inst.in_board_ring != 0) return;
  inst.in_board_ring = 1;
  ++inst.board->ring_users;
}

void StartBoardRing(InstanceRecord &inst) {
  inst.own_ring = 0;
  inst.in_board_ring = 1;
  inst.board->ring_users = 1;
}

void LeaveBoardRing(InstanceRecord &inst) {
  if (inst.in_board_ring == 0) return;
  inst.in_board_ring = 0;
  --inst.board->ring_users;
}

void UseOwnRing(InstanceRecord &inst) {
  LeaveBoardRing(inst);
  inst.own_ring = 1;
}

bool CheckInt32Range(int64_t value) {
  if (value < 2147483648LL) return true;
  PrintError("Value must be less than 0x7fffffff.");
  return false;
}

Terr FreeBoardRing(Tproc_handle proc_id, InstanceRecord &inst) {
  BoardInfo &board = *inst.board;
  if (board.BoardBufferOrig != nullptr && board.BoardFrameBuffer != nullptr) {
    for (uint32_t i = 0; i < board.board_buffer_count; ++i) {
      const Terr result =
          FreeBuffer(proc_id, &board.BoardBufferOrig[i], &board.BoardFrameBuffer[i]);
      if (result != FG_OK) return result;
    }
  }
  FREE_ARRAY(proc_id, board.BoardBufferOrig);
  FREE_ARRAY(proc_id, board.BoardFrameBuffer);
  board.board_buffer_count = 0;
  board.board_buffer_size = 0;
  return FG_OK;
}

Terr FreeRingBuffers(Tproc_handle proc_id, InstanceRecord &inst) {
  FreeQTabs(inst);
  if (inst.FrameBuf30BitOrig != nullptr && inst.FrameBuffer30Bit != nullptr) {
    for (uint32_t i = 0; i < inst.numBuffers; ++i) {
      const Terr result =
          FreeBuffer(proc_id, &inst.FrameBuf30BitOrig[i], &inst.FrameBuffer30Bit[i]);
      if (result != FG_OK) return result;
    }
  }
  if (inst.own_ring != 0) {
    if (inst.InstBufferOrig != nullptr && inst.InstFrameBuffer != nullptr) {
      for (uint32_t i = 0; i < inst.numBuffers; ++i) {
        const Terr result = FreeBuffer(proc_id, &inst.InstBufferOrig[i], &inst.InstFrameBuffer[i]);
        if (result != FG_OK) return result;
      }
    }
  } else if (OnlyBoardRingUser(inst) || NoOtherBoardRingUser(inst)) {
    const Terr result = FreeBoardRing(proc_id, inst);
    if (result != FG_OK) return result;
  }
  if (inst.InstFrameBuffer != nullptr) {
    std::memset(inst.InstFrameBuffer, 0, uint64_t{inst.numBuffers} * sizeof(void *));
  }
  return FG_OK;
}

Terr FreeRingArrays(Tproc_handle proc_id, InstanceRecord &inst) {
  FREE_ARRAY(proc_id, inst.InstBufferOrig);
  FREE_ARRAY(proc_id, inst.InstFrameBuffer);
  FREE_ARRAY(proc_id, inst.FrameBuffer30Bit);
  FREE_ARRAY(proc_id, inst.FrameBuf30BitOrig);
  FREE_ARRAY(proc_id, inst.QtabArray);
  FREE_ARRAY(proc_id, inst.QtabPtrArray);
  FREE_ARRAY(proc_id, inst.State);
  FREE_ARRAY(proc_id, inst.SSLines);
  FREE_ARRAY(proc_id, inst.EncCount);
  FREE_ARRAY(proc_id, inst.TopMagic);
  FREE_ARRAY(proc_id, inst.TopBNA);
  FREE_ARRAY(proc_id, inst.TopISRTimeStampLow);
  FREE_ARRAY(proc_id, inst.TopISRTimeStampHigh);
  FREE_ARRAY(proc_id, inst.TopBNAOW);
  FREE_ARRAY(proc_id, inst.TopISRTimeStampLowOW);
  FREE_ARRAY(proc_id, inst.TopISRTimeStampHighOW);
  FREE_ARRAY(proc_id, inst.BotMagic);
  FREE_ARRAY(proc_id, inst.BotBNA);
  FREE_ARRAY(proc_id, inst.BotISRTimeStampLow);
  FREE_ARRAY(proc_id, inst.BotISRTimeStampHigh);
  FREE_ARRAY(proc_id, inst.BotBNAOW);
  FREE_ARRAY(proc_id, inst.BotISRTimeStampLowOW);
  FREE_ARRAY(proc_id, inst.BotISRTimeStampHighOW);
  return FG_OK;
}

namespace {

Terr AllocRingArrays(Tproc_handle proc_id, InstanceRecord &inst, uint32_t n) {
  Terr r = FG_OK;
  if ((r = ALLOC_ARRAY(proc_id, inst.InstBufferOrig, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.InstFrameBuffer, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.FrameBuffer30Bit, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.FrameBuf30BitOrig, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.QtabArray, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.QtabPtrArray, n)) != FG_OK) return r;
  if ((r = HOST_ALLOC(proc_id, uint64_t{n} * sizeof *inst.State, &inst.State)) != FG_OK) return r;
  for (uint32_t i = 0; i < n; ++i) new (&inst.State[i]) std::atomic<uint32_t>(BufFree);
  if ((r = ALLOC_ARRAY(proc_id, inst.SSLines, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.EncCount, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopMagic, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopBNA, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopISRTimeStampLow, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopISRTimeStampHigh, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopBNAOW, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopISRTimeStampLowOW, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.TopISRTimeStampHighOW, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.BotMagic, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.BotBNA, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.BotISRTimeStampLow, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.BotISRTimeStampHigh, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.BotBNAOW, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, inst.BotISRTimeStampLowOW, n)) != FG_OK) return r;
  return ALLOC_ARRAY(proc_id, inst.BotISRTimeStampHighOW, n);
}

// Allocates the buffers the instance acquires into: its own, a new board
// ring, or (when other instances already acquire into the board's ring and
// it is large enough) the board's existing buffers.
Terr AllocRingBuffers(Tproc_handle proc_id, InstanceRecord &inst, uint32_t n) {
  BoardInfo &board = *inst.board;
  if (inst.own_ring == 0 && !NoOtherBoardRingUser(inst)) {
    if (board.board_buffer_count >= n && board.board_buffer_size >= inst.sizeBuffer) {
      for (uint32_t i = 0; i < n; ++i) inst.InstFrameBuffer[i] = board.BoardFrameBuffer[i];
      return FG_OK;
    }
    // The shared ring cannot hold this instance's frames: it gets its own.
    UseOwnRing(inst);
  }
  if (inst.own_ring != 0) {
    for (uint32_t i = 0; i < n; ++i) {
      const Terr r =
          AllocBuffer(proc_id, inst.sizeBuffer, &inst.InstBufferOrig[i], &inst.InstFrameBuffer[i]);
      if (r != FG_OK) return r;
    }
    return FG_OK;
  }
  Terr r = FG_OK;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardBufferOrig, n)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardFrameBuffer, n)) != FG_OK) return r;
  board.board_buffer_count = n;
  board.board_buffer_size = inst.sizeBuffer;
  for (uint32_t i = 0; i < n; ++i) {
    r = AllocBuffer(proc_id, inst.sizeBuffer, &board.BoardBufferOrig[i],
                    &board.BoardFrameBuffer[i]);
    if (r != FG_OK) return r;
    inst.InstFrameBuffer[i] = board.BoardFrameBuffer[i];
  }
  return FG_OK;
}

}  // namespace

uint32_t PixelFormat(const InstanceRecord &inst) {
  return inst.alternate_depth != 0 ? BF_FORMAT_SECOND_DEPTH : BF_FORMAT_CAMERA;
}

CiSIGNAL *AcquisitionSignal(InstanceRecord &inst) {
  return inst.start_stop != 0 ? &inst.cg_ss_signal : &inst.cg_signal;
}

Terr FreeAcquisitionSignal(InstanceRecord &inst) {
  CiSIGNAL &signal = *AcquisitionSignal(inst);
  if (signal.impl != nullptr) {
    CiSignalCancel(inst.board->handle, &signal);
    CiSignalFree(inst.board->handle, &signal);
  }
  signal = CiSIGNAL{};
  return FG_OK;
}

Terr ChangeNumBuffers(Tproc_handle proc_id, TFgInstance *fginst, uint32_t count, int force) {
  InstanceRecord *inst_ptr = CurrInst(fginst);
  if (inst_ptr == nullptr || inst_ptr->board == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *inst_ptr;
  if (inst.numBuffers == count && force == 0 && inst.ring_incomplete == 0) return FG_OK;
  if (count == 0) return FG_ERR_PARAM_VALUE;
  Bd board = inst.board->handle;

  if (inst.numBuffers >= 1) {
    if (inst.next_buffer_returned >= count) {
      if (inst.acquisition_pending != 0) {
        RestartAcquisition(fginst, kRestartAbort);
        RestartAcquisition(fginst, kRestartRearm);
      }
      inst.next_buffer_returned = 0;
      inst.next_buffer_returned_abs = 0;
      inst.next_buffer_acquired = 0;
    }
    Terr r = FreeRingBuffers(proc_id, inst);
    if (r != FG_OK) return r;
    FreeAcquisitionSignal(inst);
    r = FreeRingArrays(proc_id, inst);
    if (r != FG_OK) return r;
    inst.numBuffers = 0;
  }

  inst.ring_incomplete = 1;
  Terr r = AllocRingArrays(proc_id, inst, count);
  // From here on the records reference what was made, so a later failure is
  // cleaned up by the next ring change or by close.
  inst.numBuffers = count;
  if (r != FG_OK) return r;
  r = AllocRingBuffers(proc_id, inst, count);
  if (r != FG_OK) return r;
  if (UnpacksThirtyBit(inst)) {
    for (uint32_t i = 0; i < count; ++i) {
      r = AllocBuffer(proc_id, inst.sizeBuffer30Bit, &inst.FrameBuf30BitOrig[i],
                      &inst.FrameBuffer30Bit[i]);
      if (r != FG_OK) return r;
    }
  }

  for (uint32_t i = 0; i < count; ++i) {
    r = HOST_CALL(SetUpBoard(fginst, inst.sizeBuffer, i));
    if (r != FG_OK) return r;
  }

  if (SdkCheck(board, &inst, CiPhysQTabChainLink(board, inst.QtabPtrArray, count)) != 0) {
    PrintError("Initialization error: CiPhysQTabChainLink() failed");
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiPhysQTabChainEngage(board, inst.QtabPtrArray, 0)) != 0) {
    PrintError("Initialization error: CiPhysQTabChainEngage() failed");
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiConDMACommand(board, BF_DMA_START, 1, 0, 0)) != 0) {
    PrintError("Initialization error: CiConDMACommand() failed");
    return FG_ERR_BOARD;
  }

  if (kProfile.has_gn2 && IsGn2(inst)) {
    BFRegPoke(board, kProfile.reg.gn2_acq_enable, 1);
    BFRegPoke(board, kProfile.reg.gn2_dma_a, 1);
    uint32_t full_speed = 0;
    CiBrdInquire(board, BF_INQ_LINK_SPEED, &full_speed);
    BFRegPoke(board, kProfile.reg.gn2_dma_b, 1);
    BFRegPoke(board, kProfile.reg.gn2_link_mode, full_speed == 1 ? 0 : 1);
  }
  inst.numBuffers = count;
  inst.ring_incomplete = 0;
  return FG_OK;
}

Terr SetUpBoard(TFgInstance *fginst, uint64_t size, uint32_t i) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  if (size > 0xFFFFFFFFull) return FG_ERR_BOARD;

  const uint32_t format = PixelFormat(inst);
  CiCam camera = nullptr;
  uint32_t width = 0;
  if (SdkCheck(board, &inst, CiBrdCamGetCur(board, &camera)) != 0 ||
      SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_XSIZE, &width)) != 0) {
    return FG_ERR_BOARD;
  }
  const int64_t pitch = int64_t{inst.bytes_per_pixel} * width;

  uint32_t mode = 0;
  if (SdkCheck(board, &inst, BFQTabModeRequest(board, BF_QTAB_HOST, &mode)) != 0 ||
      mode != BF_QTAB_HOST) {
    PrintError(
        "Board error: Must use host QTabs in TARVEL.\n\nIf using a RoadRunner, verify that the PLX "
        "chip is a 9080.\nIf using a Raven, load LBC firmware with 'Host based QTabs'.");
    return FG_ERR_BOARD;
  }

  inst.QtabPtrArray[i] = &inst.QtabArray[i];
  const uint32_t dest_kind = IsRoadRunnerOrR64(inst) ? 2 : 3;
  if (SdkCheck(
          board, &inst,
          CiRelQTabCreate(board, camera, inst.InstFrameBuffer[i], static_cast<uint32_t>(size),
                          static_cast<int32_t>(inst.dma_direction * pitch), inst.QtabPtrArray[i],
                          format, inst.lut_type == 3 ? 4 : 0, inst.lut_type, dest_kind, 0)) != 0) {
    PrintError("Initialization error: CiRelQTabCreate() failed");
    inst.QtabPtrArray[i] = nullptr;
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiPhysQTabCreate(board, inst.QtabPtrArray[i], 0)) != 0) {
    PrintError("Initialization error: CiPhysQTabCreate() failed");
    CiRelQTabFree(board, inst.QtabPtrArray[i]);
    inst.QtabPtrArray[i] = nullptr;
    return FG_ERR_BOARD;
  }

  if (i == 0) {
    uint32_t model = 0;
    if (SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_MODEL, &model)) != 0) return FG_ERR_BOARD;
    if (model == 4097 && BFRegPoke(board, kProfile.reg.host_qtab_fix, 1) != 0) return FG_ERR_BOARD;
    if (IsRoadRunnerOrR64(inst) && SdkCheck(board, &inst, CiConAqMode(board, format)) != 0) {
      return FG_ERR_BOARD;
    }
    uint32_t trig_mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
    if (SdkCheck(board, &inst, CiConVTrigModeGet(board, &trig_mode, &trig_a, &trig_b, &trig_c)) !=
        0) {
      return FG_ERR_BOARD;
    }
    if (!StartStopFile(trig_mode)) {
      if (SdkCheck(board, &inst, CiSignalCreate(board, BF_SIG_FRAME_DONE, &inst.cg_signal)) != 0) {
        PrintError("Initialization error: CiSignalCreate() failed");
        return FG_ERR_BOARD;
      }
      if (SdkCheck(board, &inst, CiBrdAqSigSetCur(board, &inst.cg_signal, 0)) != 0) {
        return FG_ERR_BOARD;
      }
    } else {
      const uint32_t type = IsR64(inst)   ? kProfile.ss_signal_type_r64
                            : IsGn2(inst) ? kProfile.ss_signal_type_gn2
                                          : kProfile.ss_signal_type_other;
      if (SdkCheck(board, &inst, CiSignalCreate(board, type, &inst.cg_ss_signal)) != 0) {
        PrintError("Initialization error: CiSignalCreate() failed");
        return FG_ERR_BOARD;
      }
      if (IsR64(inst) && SdkCheck(board, &inst, CiConIntModeSet(board, 49)) != 0) {
        return FG_ERR_BOARD;
      }
      if (kProfile.has_gn2 && IsGn2(inst)) {
        BFRegPoke(board, kProfile.reg.gn2_ss_a, 2);
        BFRegPoke(board, kProfile.reg.gn2_ss_b, 2);
      }
      if (SdkCheck(board, &inst, CiBrdAqSigSetCur(board, &inst.cg_ss_signal, 0)) != 0) {
        return FG_ERR_BOARD;
      }
      inst.start_stop = 1;
    }
    if (SdkCheck(board, &inst, CiShutdown(board, 0)) != 0) return FG_ERR_BOARD;
  }
  return SetTimestampAddresses(fginst, i);
}

Terr SetTimestampAddresses(TFgInstance *fginst, uint32_t i) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.TopMagic == nullptr) return FG_FAIL;
  Bd board = inst.board->handle;
  uint32_t width = 0, height = 0;
  CiBrdInquire(board, BF_INQ_XSIZE, &width);
  CiBrdInquire(board, BF_INQ_YSIZE, &height);
  const uint64_t line = uint64_t{inst.bytes_per_pixel} * width;
  auto *base = static_cast<uint8_t *>(inst.InstFrameBuffer[i]);
  // The word ending line k (counted from 1). Frames too small to hold all
  // fourteen words, or lines beyond the buffer, get no address: the words
  // would otherwise land outside the buffer.
  auto word = [&](int64_t k) -> uint32_t * {
    if (base == nullptr || height < 14 || line < 4 || k < 1) return nullptr;
    const uint64_t end = static_cast<uint64_t>(k) * line;
    if (end > inst.sizeBuffer) return nullptr;
    return reinterpret_cast<uint32_t *>(base + end - 4);
  };
  const int64_t h = height;
  inst.TopMagic[i] = word(1);
  inst.TopBNA[i] = word(2);
  inst.TopISRTimeStampLow[i] = word(3);
  inst.TopISRTimeStampHigh[i] = word(4);
  inst.TopBNAOW[i] = word(5);
  inst.TopISRTimeStampLowOW[i] = word(6);
  inst.TopISRTimeStampHighOW[i] = word(7);
  inst.BotMagic[i] = word(h);
  inst.BotBNA[i] = word(h - 1);
  inst.BotISRTimeStampHigh[i] = word(h - 2);
  inst.BotISRTimeStampLow[i] = word(h - 3);
  inst.BotBNAOW[i] = word(h - 4);
  inst.BotISRTimeStampHighOW[i] = word(h - 5);
  inst.BotISRTimeStampLowOW[i] = word(h - 6);
  return FG_OK;
}

Terr TakeOwnRing(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  BoardInfo &board = *inst.board;
  if (inst.own_ring != 0) return FG_OK;
  if (board.users <= 1 && OnlyBoardRingUser(inst) && board.BoardBufferOrig != nullptr &&
      board.board_buffer_count == inst.numBuffers) {
    // Alone on the board: the board's buffers simply change hands.
    for (uint32_t i = 0; i < inst.numBuffers; ++i) {
      inst.InstBufferOrig[i] = board.BoardBufferOrig[i];
      board.BoardBufferOrig[i] = nullptr;
      board.BoardFrameBuffer[i] = nullptr;
    }
    board.board_buffer_count = 0;
    const Terr r = FreeBoardRing(proc_id, inst);
    if (r != FG_OK) return r;
    UseOwnRing(inst);  // it was the only user: the board's ring has none now
    return FG_OK;
  }
  UseOwnRing(inst);
  // InstBufferOrig holds nothing yet, so the rebuild frees only QTabs and
  // arrays, never the board's buffers.
  if (ChangeNumBuffers(proc_id, fginst, inst.numBuffers, 1) != FG_OK) return FG_ERR_BUFFER_ALLOC;
  return FG_OK;
}

Terr ReturnOwnRing(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  BoardInfo &board = *inst.board;
  // A ring whose last change failed part-way has no whole set of buffers to
  // hand over; it stays the instance's, for a rebuild or the close to free.
  if (inst.ring_incomplete != 0 || inst.InstFrameBuffer == nullptr ||
      inst.InstBufferOrig == nullptr) {
    return FG_ERR_BUFFER_ALLOC;
  }
  if (board.users >= 2 && board.board_buffer_size >= inst.sizeBuffer &&
      board.board_buffer_count >= inst.numBuffers && board.BoardFrameBuffer != nullptr) {
    // Another instance keeps the board's ring: join it. The QTabs are built
    // again over the board's buffers so DMA never targets the freed ones.
    Terr r = FreeRingBuffers(proc_id, inst);
    if (r != FG_OK) return r;
    JoinBoardRing(inst);
    r = ChangeNumBuffers(proc_id, fginst, inst.numBuffers, 1);
    if (r != FG_OK) return r;
  }
  if (board.board_buffer_size != 0) {
    inst.volatile_mode = 0;
    fginst->image_alloc = 1;
    return FG_OK;
  }
  // The instance's ring becomes the board's.
  Terr r = FG_OK;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardBufferOrig, inst.numBuffers)) != FG_OK) return r;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardFrameBuffer, inst.numBuffers)) != FG_OK) return r;
  for (uint32_t i = 0; i < inst.numBuffers; ++i) {
    board.BoardFrameBuffer[i] = inst.InstFrameBuffer[i];
    board.BoardBufferOrig[i] = inst.InstBufferOrig[i];
    inst.InstBufferOrig[i] = nullptr;
  }
  StartBoardRing(inst);
  board.board_buffer_size = inst.sizeBuffer;
  board.board_buffer_count = inst.numBuffers;
  inst.volatile_mode = 0;
  fginst->image_alloc = 1;
  return FG_OK;
}

}  // namespace grabline
