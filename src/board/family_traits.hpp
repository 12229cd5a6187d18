// family_traits.hpp — the facts of a board family that several features
// derive, chosen once at open from the family code.
#pragma once

#include <cstdint>

#include "bfsdk.h"

namespace grabline {

struct InstanceRecord;

struct FamilyTraits {
  int32_t output_lines;        // general-purpose outputs
  int32_t output_lines_no_cl;  // ... on a board of the family without Camera Link
  bool two_field_frames;       // an interlaced camera's frame raises each event twice
};

// What boards opened other than by a family name (family code 0) have.
extern const FamilyTraits kOtherFamilyTraits;

const FamilyTraits &TraitsOf(uint32_t family_code);

// Output lines of the instance's board. Asks the board about Camera Link
// only for a family whose count depends on it.
int32_t OutputLines(const InstanceRecord &inst, Bd board);

// Whether each event of the current camera arrives as two signals.
bool TwoFieldFrames(const InstanceRecord &inst, Bd board);

}  // namespace grabline
