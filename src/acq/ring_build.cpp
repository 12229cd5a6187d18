#include "acq/ring_build.hpp"

#include "acq/acquisition_setup.hpp"
#include "acq/restart.hpp"
#include "board/family.hpp"
#include "board/host_arrays.hpp"
#include "board/records.hpp"
#include "board/ring_memory.hpp"
#include "board/timestamp_words.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"

namespace grabline {
namespace {

// What every buffer of the ring shares, asked of the board once per ring.
struct RingLayout {
  CiCam camera = nullptr;
  uint32_t width = 0;   // pixels per line
  uint32_t height = 0;  // lines per frame; 0 when the board cannot say
};

Terr ReadRingLayout(InstanceRecord &inst, RingLayout *layout) {
  Bd board = inst.board->handle;
  if (SdkCheck(board, &inst, CiBrdCamGetCur(board, &layout->camera)) != 0 ||
      SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_XSIZE, &layout->width)) != 0) {
    return FG_ERR_BOARD;
  }
  // Without a height the buffers simply carry no time-stamp words.
  CiBrdInquire(board, BF_INQ_YSIZE, &layout->height);
  uint32_t mode = 0;
  if (SdkCheck(board, &inst, BFQTabModeRequest(board, BF_QTAB_HOST, &mode)) != 0 ||
      mode != BF_QTAB_HOST) {
    PrintError(
        "Board error: Must use host QTabs in TARVEL.\n\nIf using a RoadRunner, verify that the PLX "
        "chip is a 9080.\nIf using a Raven, load LBC firmware with 'Host based QTabs'.");
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

// Points buffer i of the ring at the board: its QTab, and where the worker
// stamps its frames.
Terr SetUpBuffer(InstanceRecord &inst, const RingLayout &layout, uint32_t i) {
  const uint64_t pitch = uint64_t{inst.bytes_per_pixel} * layout.width;
  const QTabTarget target{inst.ring.frame_buffer[i], inst.ring.buffer_size,
                          static_cast<int32_t>(inst.dma_direction * static_cast<int64_t>(pitch)),
                          inst.lut_type == 3 ? 4u : 0u, IsRoadRunnerOrR64(inst) ? 2u : 3u};
  const Terr made =
      CreateBufferQTab(inst, layout.camera, target, inst.ring.qtab[i], inst.ring.qtab_ptr[i]);
  if (made != FG_OK) return made;
  return AddressStampWords(inst, i, pitch, layout.height);
}

// The QTab chain linked and engaged, DMA started.
Terr StartDma(InstanceRecord &inst, uint32_t count) {
  Bd board = inst.board->handle;
  if (SdkCheck(board, &inst, CiPhysQTabChainLink(board, inst.ring.qtab_ptr, count)) != 0) {
    PrintError("Initialization error: CiPhysQTabChainLink() failed");
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiPhysQTabChainEngage(board, inst.ring.qtab_ptr, 0)) != 0) {
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
  return FG_OK;
}

}  // namespace

Terr ChangeNumBuffers(Tproc_handle proc_id, TFgInstance *fginst, uint32_t count, int force) {
  InstanceRecord *inst_ptr = CurrInst(fginst);
  if (inst_ptr == nullptr || inst_ptr->board == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *inst_ptr;
  if (inst.ring.count == count && force == 0 && inst.ring.incomplete == 0) return FG_OK;
  if (count == 0) return FG_ERR_PARAM_VALUE;

  if (inst.ring.count >= 1) {
    if (inst.position.next_buffer_returned >= count) {
      if (inst.acquisition_pending != 0) {
        RestartAcquisition(fginst, kRestartAbort);
        RestartAcquisition(fginst, kRestartRearm);
      }
      RewindRing(inst.position);
    }
    const Terr r = DestroyRing(proc_id, inst);
    if (r != FG_OK) return r;
  }

  inst.ring.incomplete = 1;
  Terr r = AllocRing(proc_id, inst, count);
  if (r != FG_OK) return r;
  RingLayout layout;
  r = HOST_CALL("SetUpBoard(fginst, inst.sizeBuffer, i)", ReadRingLayout(inst, &layout));
  if (r != FG_OK) return r;
  for (uint32_t i = 0; i < count; ++i) {
    r = HOST_CALL("SetUpBoard(fginst, inst.sizeBuffer, i)", SetUpBuffer(inst, layout, i));
    if (r != FG_OK) return r;
  }
  r = HOST_CALL("SetUpBoard(fginst, inst.sizeBuffer, i)", SetUpAcquisition(inst));
  if (r != FG_OK) return r;
  r = StartDma(inst, count);
  if (r != FG_OK) return r;
  inst.ring.incomplete = 0;
  return FG_OK;
}

Terr TakeOwnRing(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  BoardInfo &board = *inst.board;
  if (inst.ring.own != 0) return FG_OK;
  if (board.users <= 1 && OnlyBoardRingUser(inst) && board.BoardBufferOrig != nullptr &&
      board.board_buffer_count == inst.ring.count) {
    // Alone on the board: the board's buffers simply change hands.
    for (uint32_t i = 0; i < inst.ring.count; ++i) {
      inst.ring.buffer_orig[i] = board.BoardBufferOrig[i];
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
  if (ChangeNumBuffers(proc_id, fginst, inst.ring.count, 1) != FG_OK) return FG_ERR_BUFFER_ALLOC;
  return FG_OK;
}

Terr ReturnOwnRing(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  BoardInfo &board = *inst.board;
  // A ring whose last change failed part-way has no whole set of buffers to
  // hand over; it stays the instance's, for a rebuild or the close to free.
  if (inst.ring.incomplete != 0 || inst.ring.frame_buffer == nullptr ||
      inst.ring.buffer_orig == nullptr) {
    return FG_ERR_BUFFER_ALLOC;
  }
  if (board.users >= 2 && board.board_buffer_size >= inst.ring.buffer_size &&
      board.board_buffer_count >= inst.ring.count && board.BoardFrameBuffer != nullptr) {
    // Another instance keeps the board's ring: join it. The QTabs are built
    // again over the board's buffers so DMA never targets the freed ones.
    Terr r = FreeRingBuffers(proc_id, inst);
    if (r != FG_OK) return r;
    JoinBoardRing(inst);
    r = ChangeNumBuffers(proc_id, fginst, inst.ring.count, 1);
    if (r != FG_OK) return r;
  }
  if (board.board_buffer_size != 0) {
    inst.volatile_mode = 0;
    fginst->image_alloc = 1;
    return FG_OK;
  }
  // The instance's ring becomes the board's.
  Terr r = FG_OK;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardBufferOrig, inst.ring.count, "board.BoardBufferOrig",
                       "inst.numBuffers")) != FG_OK)
    return r;
  if ((r = ALLOC_ARRAY(proc_id, board.BoardFrameBuffer, inst.ring.count, "board.BoardFrameBuffer",
                       "inst.numBuffers")) != FG_OK)
    return r;
  for (uint32_t i = 0; i < inst.ring.count; ++i) {
    board.BoardFrameBuffer[i] = inst.ring.frame_buffer[i];
    board.BoardBufferOrig[i] = inst.ring.buffer_orig[i];
    inst.ring.buffer_orig[i] = nullptr;
  }
  StartBoardRing(inst);
  board.board_buffer_size = inst.ring.buffer_size;
  board.board_buffer_count = inst.ring.count;
  inst.volatile_mode = 0;
  fginst->image_alloc = 1;
  return FG_OK;
}

}  // namespace grabline
