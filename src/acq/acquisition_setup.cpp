#include "acq/acquisition_setup.hpp"

#include "board/family.hpp"
#include "board/records.hpp"
#include "board/trigger_modes.hpp"
#include "platform/build_profile.hpp"
#include "plugin/error_report.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

uint32_t PixelFormat(const InstanceRecord &inst) {
  return inst.alternate_depth != 0 ? BF_FORMAT_SECOND_DEPTH : BF_FORMAT_CAMERA;
}

Terr CreateBufferQTab(InstanceRecord &inst, CiCam camera, const QTabTarget &target,
                      RQTabHeadRec &table, RQTabHeadPtr &slot) {
  Bd board = inst.board->handle;
  if (target.size > 0xFFFFFFFFull) return FG_ERR_BOARD;
  slot = &table;
  if (SdkCheck(board, &inst,
               CiRelQTabCreate(board, camera, target.buffer, static_cast<uint32_t>(target.size),
                               target.stride, slot, PixelFormat(inst), target.lut_bank,
                               inst.lut_type, target.dest_kind, 0)) != 0) {
    PrintError("Initialization error: CiRelQTabCreate() failed");
    slot = nullptr;
    return FG_ERR_BOARD;
  }
  if (SdkCheck(board, &inst, CiPhysQTabCreate(board, slot, 0)) != 0) {
    PrintError("Initialization error: CiPhysQTabCreate() failed");
    CiRelQTabFree(board, slot);
    slot = nullptr;
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

Terr SetUpAcquisition(InstanceRecord &inst) {
  Bd board = inst.board->handle;
  uint32_t model = 0;
  if (SdkCheck(board, &inst, CiBrdInquire(board, BF_INQ_MODEL, &model)) != 0) return FG_ERR_BOARD;
  if (model == 4097 && BFRegPoke(board, kProfile.reg.host_qtab_fix, 1) != 0) return FG_ERR_BOARD;
  if (IsRoadRunnerOrR64(inst) &&
      SdkCheck(board, &inst, CiConAqMode(board, PixelFormat(inst))) != 0) {
    return FG_ERR_BOARD;
  }
  uint32_t trig_mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  if (SdkCheck(board, &inst, CiConVTrigModeGet(board, &trig_mode, &trig_a, &trig_b, &trig_c)) !=
      0) {
    return FG_ERR_BOARD;
  }
  if (!StartStopFile(trig_mode)) {
    if (SdkCheck(board, &inst, CiSignalCreate(board, BF_SIG_FRAME_DONE, &inst.ring.signal)) != 0) {
      PrintError("Initialization error: CiSignalCreate() failed");
      return FG_ERR_BOARD;
    }
    if (SdkCheck(board, &inst, CiBrdAqSigSetCur(board, &inst.ring.signal, 0)) != 0) {
      return FG_ERR_BOARD;
    }
  } else {
    const uint32_t type = IsR64(inst)   ? kProfile.ss_signal_type_r64
                          : IsGn2(inst) ? kProfile.ss_signal_type_gn2
                                        : kProfile.ss_signal_type_other;
    if (SdkCheck(board, &inst, CiSignalCreate(board, type, &inst.ring.start_stop_signal)) != 0) {
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
    if (SdkCheck(board, &inst, CiBrdAqSigSetCur(board, &inst.ring.start_stop_signal, 0)) != 0) {
      return FG_ERR_BOARD;
    }
    inst.start_stop = 1;
  }
  if (SdkCheck(board, &inst, CiShutdown(board, 0)) != 0) return FG_ERR_BOARD;
  return FG_OK;
}

}  // namespace grabline
