// records.hpp — the private instance record and the board record.
//
// The host instance record (TFgInstance, tarvel.h) carries the open
// parameters; the private record below carries everything the plug-in keeps
// per instance; BoardInfo is shared by the instances open on one board.
// Fields that the event threads or the continuous-grab worker touch while the
// application's thread does too are atomics.
#pragma once

#include <atomic>
#include <cstdint>

#include "acq/continuous_state.hpp"
#include "acq/event_state.hpp"
#include "acq/quick_switch_state.hpp"
#include "acq/ring_position.hpp"
#include "bfsdk.h"
#include "board/family_traits.hpp"
#include "board/ring_state.hpp"
#include "io/serial_state.hpp"
#include "params/stitch_params.hpp"
#include "platform/os.hpp"
#include "tarvel.h"

namespace grabline {

struct BoardInfo {
  char device[256];
  Bd handle;
  void **BoardFrameBuffer;  // aligned addresses of the board-owned ring
  void **BoardBufferOrig;   // the allocations behind them
  uint32_t board_buffer_count;
  uint64_t board_buffer_size;
  uint32_t ring_users;    // open instances acquiring into the board-owned ring
  uint32_t users;         // open instances on this board
  char camera_file[536];  // the camera whose settings the board holds now
  uint32_t qs_frame;      // Quick Switch frame register, kept at each frame start
  CiENTRY entry;          // what the SDK's find call said of this board
};

// Ring buffer states, written by the worker and the grab.
enum BufState : uint32_t { BufFree = 0, BufAcquired = 1, BufOverwritten = 2 };

struct InstanceRecord {
  BoardInfo *board = nullptr;  // null while the record is free
  uint32_t instance_index = 0;
  TpMutex cancel_mutex = nullptr;
  CiCam camera = nullptr;
  char camera_file[512] = {};
  uint32_t family_code = 0;  // CISYS_TYPE_* of the board's family, 0 when not found by name
  const FamilyTraits *traits = &kOtherFamilyTraits;  // chosen at open from family_code

  // Each subsystem's own state, changed only by its module.
  RingState ring;                 // ring_memory.cpp and ring_build.cpp
  RingPosition position;          // through ring_position.hpp
  ContinuousGrabState cg;         // continuous.cpp
  EventThreadState events;        // event_threads.cpp and callbacks.cpp
  SerialPortState serial;         // serial.cpp and serial_settings.cpp
  QuickSwitchState quick_switch;  // quick_switch.cpp
  StitchShareState stitch;        // stitch_params.cpp

  // The snap: what a grab waits on and how long.
  CiSIGNAL grab_signal{};
  CiSIGNAL exposure_signal{};
  std::atomic<uint8_t> acquisition_pending{0};
  std::atomic<uint8_t> grab_waiting{0};  // a grab is between releasing the mutex and its wait's end
  int64_t async_start_ms = 0;  // wall-clock start of the pending asynchronous snap
  int64_t max_age = 0;
  std::atomic<uint32_t> grab_timeout{0};  // read by a waiting grab while a parameter set writes it
  uint32_t wait_frame_exposure_timeout = 1000;
  uint8_t resnap = 0;
  uint8_t start_async_after_grab_async = 1;
  std::atomic<int32_t> lines_to_go{-1};

  // The camera and the frames it delivers.
  uint8_t start_stop = 0;
  uint32_t frame_height = 0;
  uint32_t bytes_per_pixel = 0;
  uint8_t alternate_depth = 0;
  int32_t dma_direction = 1;
  uint32_t roi_column = 0;
  uint32_t roi_row = 0;
  uint8_t lut_type = 0;
  uint32_t lut_enabled = 0;

  // Triggers and lines. Read by grabs, written by parameters that may come
  // from another thread.
  std::atomic<uint8_t> oneshot_mode{0};
  std::atomic<uint8_t> software_trigger_on{0};
  // The GN2 trigger register's value while software_trigger has taken it
  // over; -1 while nothing is saved (64 bits: every register value fits).
  int64_t gn2_trigger_saved = -1;
  uint32_t gp_out_state = 0;  // bit n: level of output n, as read at open or set by out:n
  std::atomic<uint32_t> last_encoder_count{0};

  // What the image carries and what the plug-in tells.
  uint8_t volatile_mode = 0;  // the parameter 'volatile'
  std::atomic<uint8_t> software_timestamp{0};
  std::atomic<uint8_t> print_grab{0};
  int32_t print_grab_number = 3;
  int32_t print_grab_offset = 0;
  std::atomic<uint8_t> show_error_dlg{1};
  std::atomic<uint8_t> debug_output{0};
};

}  // namespace grabline
