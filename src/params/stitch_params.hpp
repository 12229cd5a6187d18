// stitch_params.hpp — what closing an instance needs of the stitching share.
#pragma once

#include "board/records.hpp"

namespace grabline {

// Bytes of the shared section the stitching instances coordinate through.
inline constexpr size_t kStitchShareSize = 468;

// Unmaps the instance's view of the section and closes its handle. The
// section itself goes once no instance of the process holds it any more.
void ReleaseStitchShare(InstanceRecord &inst);

}  // namespace grabline
