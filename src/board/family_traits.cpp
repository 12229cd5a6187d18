#include "board/family_traits.hpp"

#include "board/records.hpp"

namespace grabline {

const FamilyTraits kOtherFamilyTraits{
    .output_lines = 7, .output_lines_no_cl = 7, .two_field_frames = false};

namespace {

constexpr FamilyTraits kRoadRunnerTraits{
    .output_lines = 6, .output_lines_no_cl = 3, .two_field_frames = false};
constexpr FamilyTraits kRavenTraits{
    .output_lines = 6, .output_lines_no_cl = 6, .two_field_frames = true};

}  // namespace

const FamilyTraits &TraitsOf(uint32_t family_code) {
  switch (family_code) {
    case CISYS_TYPE_RR:
      return kRoadRunnerTraits;
    case CISYS_TYPE_RV:
      return kRavenTraits;
    default:
      return kOtherFamilyTraits;
  }
}

int32_t OutputLines(const InstanceRecord &inst, Bd board) {
  const FamilyTraits &traits = *inst.traits;
  if (traits.output_lines == traits.output_lines_no_cl) return traits.output_lines;
  return BFIsCL(board) != 0 ? traits.output_lines : traits.output_lines_no_cl;
}

bool TwoFieldFrames(const InstanceRecord &inst, Bd board) {
  uint32_t interlace = 0;
  return CiBrdInquire(board, BF_INQ_INTERLACE, &interlace) == 0 && interlace == BF_INTERLACED &&
         inst.traits->two_field_frames;
}

}  // namespace grabline
