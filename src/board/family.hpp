// family.hpp — the board family an instance was opened on, as later features
// test it.
#pragma once

#include "board/records.hpp"

namespace grabline {

inline bool IsRoadRunner(const InstanceRecord &r) { return r.family_code == CISYS_TYPE_RR; }
inline bool IsRaven(const InstanceRecord &r) { return r.family_code == CISYS_TYPE_RV; }
inline bool IsR64(const InstanceRecord &r) { return r.family_code == CISYS_TYPE_R64; }
inline bool IsGn2(const InstanceRecord &r) { return r.family_code == CISYS_TYPE_GN2; }
inline bool IsRoadRunnerOrR64(const InstanceRecord &r) { return IsRoadRunner(r) || IsR64(r); }

}  // namespace grabline
