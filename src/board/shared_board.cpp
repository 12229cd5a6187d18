#include "board/shared_board.hpp"

#include <cstdio>
#include <cstring>

#include "board/trigger_modes.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

Terr SetInstParam(TFgInstance *fginst) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  BoardInfo &board = *inst->board;
  if (board.users <= 1) return FG_OK;
  Bd handle = board.handle;

  if (std::strncmp(board.camera_file, inst->camera_file, sizeof board.camera_file) != 0) {
    if (SdkCheck(handle, inst, CiBrdCamSetCur(handle, inst->camera, 1)) != 0) return FG_ERR_BOARD;
    std::snprintf(board.camera_file, sizeof board.camera_file, "%s", inst->camera_file);
  }

  uint32_t mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  if (SdkCheck(handle, inst, CiConVTrigModeGet(handle, &mode, &trig_a, &trig_b, &trig_c)) != 0) {
    return FG_ERR_BOARD;
  }
  if (fginst->external_trigger == 0) {
    if (SdkCheck(handle, inst, CiConExTrigConnect(handle, BF_TRIG_INPUT, BF_TRIG_DISCONNECT)) !=
        0) {
      return FG_ERR_BOARD;
    }
  } else {
    if (SdkCheck(handle, inst, CiConExTrigConnect(handle, BF_TRIG_INPUT, BF_TRIG_CONNECT)) != 0) {
      return FG_ERR_BOARD;
    }
    // One-shot camera files keep their own mode; all others are switched to
    // triggered acquisition.
    if (mode != BF_TRIGMODE_ONE_SHOT && mode != BF_TRIGMODE_ONE_SHOT_SELF_TIMED &&
        SdkCheck(handle, inst, SetTriggeredMode(handle)) != 0) {
      return FG_ERR_BOARD;
    }
  }
  if (mode == BF_TRIGMODE_ONE_SHOT) inst->oneshot_mode = 1;
  return FG_OK;
}

}  // namespace grabline
