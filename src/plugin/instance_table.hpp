// instance_table.hpp — the plug-in's process-wide state: the static table of
// private instance records, the host's class record and the open counter.
#pragma once

#include <cstdint>

#include "board/records.hpp"
#include "platform/build_profile.hpp"

namespace grabline {

// The table lives as long as the library is loaded; a record is free while
// its `board` is null.
extern InstanceRecord g_instances[kProfile.max_instances];
// The host's class record, kept by FGInit.
extern TFgClass *fgClass;
// Instances that completed FGOpen. Allocate, open and close are serialised by
// the host, so this needs no lock.
extern uint32_t g_open_instances;

// The private record bound to a host instance record (null if unbound).
inline InstanceRecord *CurrInst(const TFgInstance *fginst) {
  return fginst ? static_cast<InstanceRecord *>(fginst->currInst) : nullptr;
}

// The private record of an instance known to be bound (internal callers).
inline InstanceRecord &Inst(const TFgInstance *fginst) {
  return *static_cast<InstanceRecord *>(fginst->currInst);
}

// Resets every record to its cleared state and numbers it.
void ClearInstanceTable();

}  // namespace grabline
