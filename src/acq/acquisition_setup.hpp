// acquisition_setup.hpp — how the board's DMA is pointed at a ring: one QTab
// per buffer (the normal ring and the Quick Switch regions' rings alike), and
// the board's acquisition mode and the signal the continuous-grab worker
// waits on.
#pragma once

#include <cstdint>

#include "bfsdk.h"
#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// The pixel format of the instance's QTabs and of the board's acquisition
// mode: the camera's depth, or the board's second depth.
uint32_t PixelFormat(const InstanceRecord &inst);

// A buffer the board's DMA is to fill, and how.
struct QTabTarget {
  void *buffer;
  uint64_t size;   // bytes; above 32 bits no table can describe it
  int32_t stride;  // bytes from line to line, negative bottom-up
  uint32_t lut_bank;
  uint32_t dest_kind;
};

// Makes the QTab through which the board fills `target`: the relative table
// in `table`, then its physical form. `*slot` points at the table once it
// exists and is null when it could not be made (nothing is left to free).
Terr CreateBufferQTab(InstanceRecord &inst, CiCam camera, const QTabTarget &target,
                      RQTabHeadRec &table, RQTabHeadPtr &slot);

// Sets the board's acquisition mode and creates the signal that marks each
// frame of the normal ring: the start/stop one for cameras of varying frame
// length, else the fixed-length one.
Terr SetUpAcquisition(InstanceRecord &inst);

}  // namespace grabline
