// Multi-camera stitching share: a main instance names a shared section after
// its device; auxiliary instances take that name and map the section.
//
// Sections are POSIX shared memory objects: the section "TarvelShared<device>"
// is the object "/TarvelShared<device>" (os_shared_memory_posix.cpp), so a device
// name such as "R64:0" gives "/TarvelSharedR64:0". A name holding '/' has no
// such object and its lock is refused. The object is unlinked when the last
// handle and view of the process are released (lock off or FGClose), so
// nothing stays in /dev/shm after the instances are gone.
#include "params/stitch_params.hpp"

#include <cstdio>
#include <cstring>

#include "params/handlers.hpp"

namespace grabline {
namespace {

// Every refusal of the stitching parameters is a type failure, without a
// message: that is the code applications of these parameters test for.
constexpr Terr kRefused = FG_ERR_PARAM_TYPE;

bool IsInteger(const Tcpar &value) { return value.type == TPAR_INT; }

}  // namespace

void ReleaseStitchShare(InstanceRecord &inst) {
  if (inst.stitch.view != nullptr) {
    os::UnmapSharedMemory(inst.stitch.mapping, inst.stitch.view);
    inst.stitch.view = nullptr;
  }
  if (inst.stitch.mapping != nullptr) {
    os::CloseSharedMemory(inst.stitch.mapping);
    inst.stitch.mapping = nullptr;
  }
  inst.stitch.locked = 0;
}

Terr SetStitchMain(SetCall &call) {
  if (!IsInteger(call.first())) return kRefused;
  InstanceRecord &inst = *call.inst;
  if (call.first().par.l == 0) {
    inst.stitch.main = 0;
    return FG_OK;
  }
  if (inst.stitch.main != 0) return kRefused;
  // A cut name would name another device's section: refuse instead.
  char name[sizeof inst.stitch.share_name];
  const int length = std::snprintf(name, sizeof name, "TarvelShared%s", inst.board->device);
  if (length < 0 || static_cast<size_t>(length) >= sizeof name) return kRefused;
  std::memcpy(inst.stitch.share_name, name, static_cast<size_t>(length) + 1);
  inst.stitch.main = 1;
  return FG_OK;
}

Terr SetStitchNum(SetCall &call) {
  if (!IsInteger(call.first()) || call.inst->stitch.main == 0) return kRefused;
  call.inst->stitch.num = static_cast<uint32_t>(call.first().par.l);
  return FG_OK;
}

Terr SetStitchAux(SetCall &call) {
  if (!IsInteger(call.first())) return kRefused;
  call.inst->stitch.aux = call.first().par.l != 0 ? 1 : 0;
  return FG_OK;
}

Terr SetStitchAuxNum(SetCall &call) {
  if (!IsInteger(call.first()) || call.inst->stitch.aux == 0) return kRefused;
  // Signed on purpose: only the upper bound is checked.
  if (call.first().par.l > call.inst->stitch.aux_max) return kRefused;
  call.inst->stitch.num = static_cast<uint32_t>(call.first().par.l);
  return FG_OK;
}

Terr SetStitchShareName(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return kRefused;
  InstanceRecord &inst = *call.inst;
  if (inst.stitch.aux == 0) return kRefused;
  const size_t length = strnlen(value.par.s, sizeof inst.stitch.share_name);
  if (length >= sizeof inst.stitch.share_name) return kRefused;
  std::memcpy(inst.stitch.share_name, value.par.s, length + 1);
  return FG_OK;
}

Terr GetStitchShareName(GetCall &call) {
  if (call.inst->stitch.main == 0) return kRefused;
  // The instance's own field: it stays valid after the call.
  AnswerText(call, call.inst->stitch.share_name);
  return FG_OK;
}

Terr SetStitchBufferLock(SetCall &call) {
  if (!IsInteger(call.first())) return kRefused;
  InstanceRecord &inst = *call.inst;
  if (inst.stitch.main != 0) return kRefused;
  // Locking again, or unlocking, lets go of what the last lock mapped.
  ReleaseStitchShare(inst);
  if (call.first().par.l == 0) return FG_OK;

  const std::string_view name(inst.stitch.share_name,
                              strnlen(inst.stitch.share_name, sizeof inst.stitch.share_name));
  bool created = false;  // an existing section of the name is as good as a new one
  inst.stitch.mapping = os::OpenSharedMemory(name, kStitchShareSize, &created);
  if (inst.stitch.mapping == nullptr) return kRefused;
  inst.stitch.view = os::MapSharedMemory(inst.stitch.mapping);
  if (inst.stitch.view == nullptr) {
    ReleaseStitchShare(inst);
    return kRefused;
  }
  inst.stitch.locked = 1;
  return FG_OK;
}

}  // namespace grabline
