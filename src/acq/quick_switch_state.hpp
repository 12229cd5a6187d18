// quick_switch_state.hpp — what an instance keeps of the Quick Switch region
// mode. Only the Quick Switch module (quick_switch.cpp and its parameters in
// quick_switch_params.cpp) writes it; the rest of the plug-in asks through
// the functions of quick_switch.hpp.
#pragma once

#include <atomic>
#include <cstdint>

#include "bfsdk.h"

namespace grabline {

inline constexpr int kMaxQuickSwitchRois = 8;

struct QuickSwitchRoi {
  uint32_t width;
  uint32_t height;
  uint32_t pos_a;
  uint32_t pos_b;
  uint32_t buffer_index;
  uint32_t buffers;        // entries of the arrays below
  void **frame_buffer;     // QSInstFrameBuffer[r]: page-aligned buffers
  void **buffer_orig;      // the allocations behind them
  RQTabHeadRec *qtab;      // QSQtabArray[r]
  RQTabHeadPtr *qtab_ptr;  // QSQtabPtrArray[r]
};

struct QuickSwitchState {
  // Read by grabs while parameters may change it.
  std::atomic<uint8_t> mode{0};
  uint32_t num_rois = 2;
  uint32_t num_buffers = 10;  // of each region's ring
  uint32_t next_roi = 0;      // the region the next frame uses
  QuickSwitchRoi rois[kMaxQuickSwitchRois] = {};
  CiSIGNAL *signal = nullptr;       // end of frame, made with the region rings
  uint8_t first_frame = 0;          // the next frame also starts the board's acquisition
  uint32_t roi_in_flight = 0;       // the region of the frame last triggered
  std::atomic<uint8_t> started{0};  // a frame is in flight and not yet collected
};

}  // namespace grabline
