// Parameters of image assembly: images laid over the ring ('volatile'), the
// direction the board writes lines in, and print grab.
#include <cstdint>

#include "acq/ring_build.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"

namespace grabline {
namespace {

// 32-bit fields take only values that fit them, never a cut-off one.
Terr ReadInt32(const Tcpar &value, int32_t *out) {
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l < INT32_MIN || value.par.l > INT32_MAX) return FG_ERR_PARAM_VALUE;
  *out = static_cast<int32_t>(value.par.l);
  return FG_OK;
}

// Moving the ring frees the arrays the continuous-grab worker writes into.
bool RingMayMove(const InstanceRecord &inst) {
  if (inst.cg.enabled == 0) return true;
  PrintError("Volatile mode can not be changed while continuous grabbing is enabled.");
  return false;
}

}  // namespace

Terr SetVolatile(SetCall &call) {
  bool on = false;
  const Terr result = ReadFlag(call.first(), "enable", "disable", &on);
  if (result != FG_OK) return result;
  InstanceRecord &inst = *call.inst;
  TFgInstance *fginst = call.fginst;
  if (on) {
    // A grab of several channel images has no one buffer to lay them over.
    if (fginst->num_channels > 1) return FG_ERR_PARAM_VALUE;
    if (inst.volatile_mode != 0) return FG_OK;
    if (!RingMayMove(inst)) return FG_ERR_BOARD;
    const Terr taken = TakeOwnRing(call.proc_id, fginst);
    if (taken != FG_OK) return taken;
    inst.volatile_mode = 1;
    fginst->image_alloc = 0;
    fginst->image_alloc_data = 0;
    return FG_OK;
  }
  if (inst.volatile_mode == 0) return FG_OK;
  if (!RingMayMove(inst)) return FG_ERR_BOARD;
  if (ReturnOwnRing(call.proc_id, fginst) != FG_OK) return FG_ERR_OPERATION_FAILED;
  inst.volatile_mode = 0;
  fginst->image_alloc = 1;
  return FG_OK;
}

Terr GetVolatile(GetCall &call) {
  AnswerFlag(call, call.inst->volatile_mode != 0, "enable", "disable");
  return FG_OK;
}

Terr SetDmaDirection(SetCall &call) {
  bool top_down = true;
  const Terr result = ReadFlag(call.first(), "top-down", "bottom-up", &top_down);
  if (result != FG_OK) return result;
  InstanceRecord &inst = *call.inst;
  // Stored even when the ring cannot be rebuilt now: the next rebuild uses it.
  inst.dma_direction = top_down ? 1 : -1;
  if (inst.cg.enabled != 0) {
    PrintError("The number of buffers can not be changed while continuous grabbing is enabled.");
    return FG_ERR_BOARD;
  }
  Bd board = inst.board->handle;
  if (SdkCheck(board, &inst, CiShutdown(board, 0)) != 0) {
    PrintError("Initialization error: CiShutdown() failed");
    return FG_ERR_BOARD;
  }
  return HOST_CALL("ChangeNumBuffers(proc_id, fginst,currInst->numBuffers,1)",
                   ChangeNumBuffers(call.proc_id, call.fginst, inst.ring.count, 1));
}

Terr GetDmaDirection(GetCall &call) {
  AnswerFlag(call, call.inst->dma_direction != -1, "top-down", "bottom-up");
  return FG_OK;
}

Terr SetPrintGrab(SetCall &call) {
  bool on = false;
  const Terr result = ReadFlag(call.first(), "enable", "disable", &on);
  if (result == FG_OK) call.inst->print_grab = on ? 1 : 0;
  return result;
}

Terr SetPrintGrabNumber(SetCall &call) {
  return ReadInt32(call.first(), &call.inst->print_grab_number);
}

Terr SetPrintGrabOffset(SetCall &call) {
  return ReadInt32(call.first(), &call.inst->print_grab_offset);
}

}  // namespace grabline
