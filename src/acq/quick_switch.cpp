// Quick Switch region mode: set-up and release of the region rings, the
// frame-by-frame programming of the board, and the grab operations while
// the mode is on. No worker thread takes part: every frame is started and
// collected on the application's thread.
#include "acq/quick_switch.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

#include "acq/acquisition_setup.hpp"
#include "acq/grab_lock.hpp"
#include "acq/image_assembly.hpp"
#include "acq/restart.hpp"
#include "board/family.hpp"
#include "board/host_arrays.hpp"
#include "board/ring_memory.hpp"
#include "platform/os.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"

namespace grabline {
namespace {

constexpr uint32_t kQsLutBank = 4;
constexpr uint32_t kQsDestKind = 2;
constexpr uint32_t kNextRegionOne = 6;   // next-region register: region 1 follows
constexpr uint32_t kNextRegionZero = 7;  // ... region 0 follows
constexpr uint64_t kMaxQTabBytes = 0xFFFFFFFFull;

// Frees every region ring and the signal, each piece only when present; a
// QTab goes before the memory it describes, so DMA never reaches a freed
// buffer. Stops at the first failing host free, leaving the rest referenced.
Terr ReleaseRegions(Tproc_handle proc_id, InstanceRecord &inst) {
  Bd board = inst.board->handle;
  QuickSwitchState &qs = inst.quick_switch;
  for (QuickSwitchRoi &roi : qs.rois) {
    for (uint32_t i = 0; i < roi.buffers; ++i) {
      if (roi.qtab_ptr != nullptr && roi.qtab_ptr[i] != nullptr) {
        CiRelQTabFree(board, roi.qtab_ptr[i]);
        roi.qtab_ptr[i] = nullptr;
      }
      if (roi.frame_buffer != nullptr) roi.frame_buffer[i] = nullptr;
      if (roi.buffer_orig != nullptr) FREE_ARRAY(proc_id, roi.buffer_orig[i], "roi.buffer_orig[i]");
    }
    FREE_ARRAY(proc_id, roi.frame_buffer, "roi.frame_buffer");
    FREE_ARRAY(proc_id, roi.buffer_orig, "roi.buffer_orig");
    FREE_ARRAY(proc_id, roi.qtab, "roi.qtab");
    FREE_ARRAY(proc_id, roi.qtab_ptr, "roi.qtab_ptr");
    roi.buffers = 0;
    roi.buffer_index = 0;
  }
  if (qs.signal != nullptr) {
    if (qs.signal->impl != nullptr) CiSignalFree(board, qs.signal);
    // The host's traces and error hook know the signal by this name.
    FREE_ARRAY(proc_id, qs.signal, "inst.QSSignal");
  }
  return FG_OK;
}

// What a set-up changed on the board, so that a failure can undo it.
struct SetupState {
  bool region_changed = false;
  bool shut_down = false;
  bool aq_mode_set = false;
};

Terr BuildRegion(Tproc_handle proc_id, InstanceRecord &inst, CiCam camera, QuickSwitchRoi &roi,
                 uint32_t numBuffers, SetupState &state) {
  Bd board = inst.board->handle;
  roi.buffers = numBuffers;
  Terr result = FG_OK;
  if ((result = ALLOC_ARRAY(proc_id, roi.frame_buffer, numBuffers, "roi.frame_buffer",
                            "numBuffers")) != FG_OK)
    return result;
  if ((result = ALLOC_ARRAY(proc_id, roi.buffer_orig, numBuffers, "roi.buffer_orig",
                            "numBuffers")) != FG_OK)
    return result;
  if ((result = ALLOC_ARRAY(proc_id, roi.qtab, numBuffers, "roi.qtab", "numBuffers")) != FG_OK)
    return result;
  if ((result = ALLOC_ARRAY(proc_id, roi.qtab_ptr, numBuffers, "roi.qtab_ptr", "numBuffers")) !=
      FG_OK)
    return result;

  state.region_changed = true;
  if (SdkCheck(board, &inst, CiAqFrameSize(board, roi.width, roi.height, 0)) != 0) {
    PrintError("Initialization error: CiAqFrameSize() failed");
    return FG_ERR_BOARD;
  }
  const uint64_t pitch = uint64_t{roi.width} * inst.bytes_per_pixel;
  const uint64_t buffer_size = pitch * roi.height;
  if (buffer_size == 0 || buffer_size > kMaxQTabBytes || pitch > INT32_MAX) {
    PrintError("Initialization error: a Quick Switch region does not fit one buffer");
    return FG_ERR_BOARD;
  }
  const auto stride = static_cast<int32_t>(static_cast<int64_t>(pitch) * inst.dma_direction);
  for (uint32_t k = 0; k < numBuffers; ++k) {
    result = HOST_ALLOC(proc_id, buffer_size + kBufferAlignment, &roi.buffer_orig[k],
                        "BufferSize + kBufferAlignment", "&roi.buffer_orig[BufIndex]");
    if (result != FG_OK) return result;
    roi.frame_buffer[k] = AlignedStart(roi.buffer_orig[k]);
    const QTabTarget target{roi.frame_buffer[k], buffer_size, stride, kQsLutBank, kQsDestKind};
    result = CreateBufferQTab(inst, camera, target, roi.qtab[k], roi.qtab_ptr[k]);
    if (result != FG_OK) return result;
  }
  if (SdkCheck(board, &inst, CiPhysQTabChainLink(board, roi.qtab_ptr, numBuffers)) != 0) {
    PrintError("Initialization error: CiPhysQTabChainLink() failed");
    return FG_ERR_BOARD;
  }
  // The board reads back where the region's frames lie; each next-frame
  // call hands these values over again.
  if (!IsGn2(inst)) {
    roi.pos_a = BFRegPeek(board, kProfile.reg.qs_pos_a);
    roi.pos_b = BFRegPeek(board, kProfile.reg.qs_pos_b);
  }
  roi.buffer_index = 0;
  return FG_OK;
}

Terr Build(Tproc_handle proc_id, InstanceRecord &inst, uint32_t numBuffers, SetupState &state) {
  Bd board = inst.board->handle;
  CiCam camera = nullptr;
  if (SdkCheck(board, &inst, CiBrdCamGetCur(board, &camera)) != 0) return FG_ERR_BOARD;
  QuickSwitchState &qs = inst.quick_switch;
  const uint32_t regions = std::min<uint32_t>(qs.num_rois, kMaxQuickSwitchRois);
  for (uint32_t r = 0; r < regions; ++r) {
    const Terr result = BuildRegion(proc_id, inst, camera, qs.rois[r], numBuffers, state);
    if (result != FG_OK) return result;
  }

  // The host's traces and error hook know the signal by this name.
  Terr result =
      HOST_ALLOC(proc_id, sizeof(CiSIGNAL), &qs.signal, "sizeof(CiSIGNAL)", "&inst.QSSignal");
  if (result != FG_OK) return result;
  std::memset(qs.signal, 0, sizeof(CiSIGNAL));
  if (SdkCheck(board, &inst, CiSignalCreate(board, BF_SIG_FRAME_DONE, qs.signal)) != 0) {
    PrintError("Initialization error: CiSignalCreate() failed");
    return FG_ERR_BOARD;
  }

  state.shut_down = true;
  if (SdkCheck(board, &inst, CiShutdown(board, 0)) != 0) {
    PrintError("Initialization error: CiShutdown() failed");
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiConAqMode(board, BF_AQMODE_QUICK_SWITCH)) != 0) {
    PrintError("Initialization error: CiConAqMode() failed");
    return FG_ERR_BOARD;
  }
  state.aq_mode_set = true;
  if (SdkCheck(board, &inst, BFQSModeSet(board, 1)) != 0) {
    PrintError("Initialization error: BFQSModeSet() failed");
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

}  // namespace

Terr QSRestoreRegion(TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  const auto width = static_cast<uint32_t>(fginst->image_width);
  const auto height = static_cast<uint32_t>(fginst->image_height);
  // A window with an offset keeps it: the frame size alone would move the
  // instance's window to the corner of the camera's frame.
  const uint32_t e = inst.roi_column != 0 || inst.roi_row != 0
                         ? CiAqROISet(board, inst.roi_column, inst.roi_row, width, height, 0)
                         : CiAqFrameSize(board, width, height, 0);
  return SdkCheck(board, &inst, e) != 0 ? FG_ERR_BOARD : FG_OK;
}

Terr QSSetup(Tproc_handle proc_id, TFgInstance *fginst, uint32_t numBuffers) {
  InstanceRecord &inst = Inst(fginst);
  SetupState state;
  const Terr result = Build(proc_id, inst, numBuffers, state);
  if (result == FG_OK) {
    inst.quick_switch.num_buffers = numBuffers;
    inst.quick_switch.first_frame = 1;
    inst.quick_switch.started = 0;
    return FG_OK;
  }
  // Undo in reverse: the rings go, the board gets its acquisition mode and
  // window back and acquires into the normal ring again.
  Bd board = inst.board->handle;
  const Terr released = ReleaseRegions(proc_id, inst);
  if (state.aq_mode_set && IsRoadRunnerOrR64(inst)) CiConAqMode(board, PixelFormat(inst));
  if (state.region_changed) QSRestoreRegion(fginst);
  if (state.shut_down) RestartAcquisition(fginst, kRestartRearm);
  return released != FG_OK ? released : result;
}

Terr QSFree(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  QuickSwitchState &qs = inst.quick_switch;
  if (qs.mode == 0 || !kProfile.has_quick_switch) {
    qs.mode = 0;
    return FG_OK;
  }
  Bd board = inst.board->handle;
  CiShutdown(board, 0);
  BFQSModeSet(board, 0);
  qs.started = 0;
  const Terr result = ReleaseRegions(proc_id, inst);
  if (result == FG_OK) qs.mode = 0;
  return result;
}

bool QSModeOn(const InstanceRecord &inst) { return inst.quick_switch.mode != 0; }

bool QSRingsActive(const InstanceRecord &inst) {
  return inst.quick_switch.mode != 0 && inst.quick_switch.signal != nullptr;
}

void QSCancelWait(InstanceRecord &inst) {
  CiSignalCancel(inst.board->handle, inst.quick_switch.signal);
}

Terr QSNextFrame(Tproc_handle, TFgInstance *fginst) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  QuickSwitchState &qs = inst.quick_switch;
  const uint32_t r = qs.next_roi;
  // Only regions 0 and 1 can follow one another on the board; a region
  // that has no ring (fewer regions now than when it was named) neither.
  if (r > 1 || r >= qs.num_rois || qs.rois[r].qtab_ptr == nullptr) {
    PrintError("Next ROI is not available in Quick Switch mode.");
    return FG_ERR_BOARD;
  }
  QuickSwitchRoi &roi = qs.rois[r];
  if (SdkCheck(board, &inst,
               BFRegPoke(board, kProfile.reg.qs_next, r == 1 ? kNextRegionOne : kNextRegionZero)) !=
          0 ||
      SdkCheck(board, &inst,
               CiConQSSetNextFrame(board, roi.qtab_ptr, roi.buffer_index, roi.pos_a, roi.pos_b)) !=
          0) {
    PrintError("Quick Switch error: CiConQSSetNextFrame() failed");
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiConDMACommand(board, BF_DMA_START, 1, 0, 0)) != 0) {
    PrintError("Initialization error: CiConDMACommand() failed");
    return FG_ERR_BOARD;
  }
  if (qs.first_frame != 0) {
    if (SdkCheck(board, &inst, CiConAqCommand(board, BF_CONAQ_GRAB, 0)) != 0) {
      PrintError("Quick Switch error: CiConAqCommand() failed");
      return FG_ERR_BOARD;
    }
    qs.first_frame = 0;
  }
  inst.board->qs_frame = BFRegPeek(board, kProfile.reg.qs_frame);
  if (SdkCheck(board, &inst, CiConSwTrig(board, BF_TRIG_INPUT, BF_TRIG_PULSE)) != 0) {
    PrintError("Quick Switch error: CiConSwTrig() failed");
    return FG_ERR_BOARD;
  }
  qs.roi_in_flight = r;
  return FG_OK;
}

Terr QSGrab(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image) {
  InstanceRecord &inst = Inst(fginst);
  Bd board = inst.board->handle;
  QuickSwitchState &qs = inst.quick_switch;
  if (qs.signal == nullptr) return FG_ERR_GRAB;
  QuickSwitchRoi &roi = qs.rois[qs.roi_in_flight];
  const uint32_t waited = CiSignalWait(board, qs.signal, inst.grab_timeout, nullptr);
  qs.started = 0;
  if (waited != 0) {
    PrintError("Error waiting for EOF interrupt in Quick Switch mode");
    return FG_ERR_GRAB;
  }
  if (inst.volatile_mode == 0) {
    PrintError("Non-volitile mode is not supported in Quick Switch mode");
    return FG_ERR_GRAB;
  }
  const uint32_t i = roi.buffer_index;
  if (roi.frame_buffer == nullptr || i >= roi.buffers) return FG_ERR_GRAB;

  const int32_t bits = fginst->bits_per_channel;
  const int32_t type = bits <= 8 ? BYTE_IMAGE : bits > 16 ? INT4_IMAGE : UINT2_IMAGE;
  const uint64_t image_bytes = uint64_t{roi.width} * roi.height *
                               (type == BYTE_IMAGE    ? 1
                                : type == UINT2_IMAGE ? 2
                                                      : 4);
  // The image lies over the buffer and must not reach past it.
  if (image_bytes > uint64_t{roi.width} * roi.height * inst.bytes_per_pixel ||
      roi.width > INT32_MAX || roi.height > INT32_MAX) {
    PrintError("Quick Switch error: the image does not fit the region's buffer");
    return FG_ERR_GRAB;
  }
  const Terr made =
      HOST_CALL("TNewImagePtr(proc_id, &image[ImageNum], type, Width, Height, (void*)Temp, 0)",
                TNewImagePtr(proc_id, &image[0], type, static_cast<int32_t>(roi.width),
                             static_cast<int32_t>(roi.height), roi.frame_buffer[i], 0));
  if (made != FG_OK) return made;
  if (type == UINT2_IMAGE) image[0].pixel.u.num_bits = static_cast<int8_t>(bits);
  const int64_t stamp = inst.events.last_frame_time_ms.load();
  SetImageTime(image[0], os::LocalTimeAt(stamp != 0 ? stamp : os::NowMs()));
  *num_image = 1;
  roi.buffer_index = i + 1 >= roi.buffers ? 0 : i + 1;
  return FG_OK;
}

// The standard build keeps the mode as a flag only: its grabs deliver nothing
// and wait for nothing.
Terr QSGrabOp(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image) {
  InstanceRecord &inst = Inst(fginst);
  if (!kProfile.has_quick_switch) {
    *num_image = 0;
    return FG_OK;
  }
  Terr result = LockCancelMutex(inst);
  if (result != FG_OK) return result;
  if (inst.quick_switch.started == 0) {
    result = QSNextFrame(proc_id, fginst);
    if (result != FG_OK) {
      UnlockCancelMutex(inst);
      return result;
    }
  }
  result = UnlockCancelMutex(inst);
  if (result != FG_OK) return result;
  return QSGrab(proc_id, fginst, image, num_image);
}

namespace {

// Starts a frame unless one is in flight; a frame that could not be started
// does not count as started, so the next grab does not wait for it.
Terr StartIfIdle(Tproc_handle proc_id, TFgInstance *fginst, InstanceRecord &inst) {
  std::atomic<uint8_t> &started = inst.quick_switch.started;
  if (started != 0) return FG_OK;
  started = 1;
  const Terr result = QSNextFrame(proc_id, fginst);
  if (result != FG_OK) started = 0;
  return result;
}

Terr StartLocked(Tproc_handle proc_id, TFgInstance *fginst, InstanceRecord &inst) {
  Terr result = LockCancelMutex(inst);
  if (result != FG_OK) return result;
  result = StartIfIdle(proc_id, fginst, inst);
  const Terr unlocked = UnlockCancelMutex(inst);
  return result != FG_OK ? result : unlocked;
}

}  // namespace

Terr QSGrabStartOp(Tproc_handle proc_id, TFgInstance *fginst) {
  if (!kProfile.has_quick_switch) return FG_OK;
  return StartLocked(proc_id, fginst, Inst(fginst));
}

Terr QSGrabAsyncOp(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image) {
  InstanceRecord &inst = Inst(fginst);
  if (!kProfile.has_quick_switch) {
    *num_image = 0;
    return FG_OK;
  }
  Terr result = StartLocked(proc_id, fginst, inst);
  if (result != FG_OK) return result;
  result = QSGrab(proc_id, fginst, image, num_image);
  if (result != FG_OK) return result;
  // The next frame is put in flight at once, so the following collect
  // finds it already taken.
  return StartLocked(proc_id, fginst, inst);
}

}  // namespace grabline
