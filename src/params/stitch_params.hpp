// stitch_params.hpp — what an instance keeps of the multi-camera stitching
// share, and what closing an instance needs of it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os.hpp"

namespace grabline {

struct InstanceRecord;

// Bytes of the shared section the stitching instances coordinate through.
inline constexpr size_t kStitchShareSize = 468;

// Written only by stitch_params.cpp, from FGSetParam and FGClose on the
// application's thread.
struct StitchShareState {
  uint8_t main = 0;  // the main role: the section is named after this board
  uint8_t aux = 0;   // an auxiliary role: the section is named by the main instance
  int64_t aux_max = 1;
  uint32_t num = 0;
  char share_name[128] = {};
  os::SharedMemory *mapping = nullptr;  // while locked
  void *view = nullptr;                 // while locked
  uint8_t locked = 0;
};

// Unmaps the instance's view of the section and closes its handle. The
// section itself goes once no instance of the process holds it any more.
void ReleaseStitchShare(InstanceRecord &inst);

}  // namespace grabline
