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

#include "acq/quick_switch_state.hpp"
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

// Continuous-grab worker states.
enum CgState : uint32_t {
  CGStopped = 0,
  CGRunning = 1,
  CGCancelled = 2,
  CGFailed = 3,
  CGOBMAbort = 4
};

inline constexpr uint32_t kOverwriteAbort = 0;
inline constexpr uint32_t kOverwriteIgnore = 3;

using Callback = TFgCallback;

struct InstanceRecord {
  BoardInfo *board = nullptr;  // null while the record is free
  TpMutex cancel_mutex = nullptr;
  CiCam camera = nullptr;
  char camera_file[512] = {};
  std::atomic<uint8_t> acquisition_pending{0};
  std::atomic<uint8_t> grab_waiting{0};  // a grab is between releasing the mutex and its wait's end
  uint32_t instance_index = 0;
  int64_t max_age = 0;

  // Ring counters: the return side is advanced by grabs (and by the worker
  // under 'ignore'), the capture side by the worker only.
  std::atomic<uint32_t> next_buffer_returned{0};
  std::atomic<uint32_t> next_buffer_returned_abs{0};
  std::atomic<uint32_t> next_buffer_acquired{0};
  std::atomic<uint32_t> next_buffer_acquired_abs{0};
  std::atomic<uint32_t> fill_index{0};
  std::atomic<uint32_t> num_buffers_overwritten{0};
  int64_t async_start_ms = 0;  // wall-clock start of the pending asynchronous snap

  RingState ring;             // changed only by ring_memory.cpp and ring_build.cpp
  uint8_t volatile_mode = 0;  // the parameter 'volatile'
  uint8_t alternate_depth = 0;
  uint32_t bytes_per_pixel = 0;
  // Read by grabs, written by parameters that may come from another thread.
  std::atomic<uint8_t> oneshot_mode{0};
  // The GN2 trigger register's value while software_trigger has taken it
  // over; -1 while nothing is saved (64 bits: every register value fits).
  int64_t gn2_trigger_saved = -1;
  std::atomic<uint32_t> grab_timeout{0};  // read by a waiting grab while a parameter set writes it
  std::atomic<uint8_t> continuous_grabbing{0};
  std::atomic<uint8_t> show_error_dlg{1};
  uint8_t resnap = 0;
  uint8_t start_async_after_grab_async = 1;
  std::atomic<uint8_t> overflow_thread_running{0};
  std::atomic<uint8_t> hw_exception_thread_running{0};
  std::atomic<uint8_t> overflow_pending{0};
  std::atomic<uint8_t> software_trigger_on{0};
  uint32_t gp_out_state = 0;  // bit n: level of output n, as read at open or set by out:n
  uint32_t lut_enabled = 0;

  CiSIGNAL cg_signal{};
  CiSIGNAL cg_ss_signal{};
  uint8_t start_stop = 0;
  CiSIGNAL frame_done_signal{};
  CiSIGNAL exposure_done_signal{};
  CiSIGNAL grab_signal{};
  CiSIGNAL overflow_signal{};
  CiSIGNAL hw_exception_signal{};
  CiSIGNAL exposure_signal{};

  os::Thread *overflow_thread = nullptr;
  os::Thread *hw_exception_thread = nullptr;
  os::Thread *frame_done_thread = nullptr;
  os::Thread *exposure_done_thread = nullptr;
  os::Thread *cg_thread = nullptr;
  std::atomic<os::Semaphore *> cg_semaphore{nullptr};
  uint32_t cg_semaphore_max = 0;
  std::atomic<uint8_t> frame_done_running{0};
  std::atomic<uint8_t> exposure_done_running{0};

  std::atomic<uint32_t> continuous_grab_timeout{10000};
  std::atomic<uint32_t> cg_state{CGStopped};
  std::atomic<uint32_t> cg_startup_state{0};
  std::atomic<uint32_t> cg_signal_armed{0};

  // Serial port: written only by the serial module (serial.cpp, serial_settings.cpp).
  SerialPortState serial;

  std::atomic<uint32_t> ring_buffer_stop_margin{1};

  std::atomic<uint32_t> overwrite_method{kOverwriteAbort};
  uint32_t frame_height = 0;
  uint32_t family_code = 0;  // CISYS_TYPE_* of the board's family, 0 when not found by name
  const FamilyTraits *traits = &kOtherFamilyTraits;  // chosen at open from family_code
  int32_t dma_direction = 1;
  uint32_t roi_column = 0;
  uint32_t roi_row = 0;
  uint32_t frames_pending = 0;  // guarded by the process-wide cg_list_mutex
  uint8_t lut_type = 0;

  QuickSwitchState quick_switch;  // owned by quick_switch.cpp

  uint32_t wait_frame_exposure_timeout = 1000;
  std::atomic<uint8_t> print_grab{0};
  int32_t print_grab_number = 3;
  int32_t print_grab_offset = 0;
  std::atomic<int32_t> lines_to_go{-1};

  // Event threads and callbacks.
  std::atomic<uint64_t> overflow_count{0};
  std::atomic<uint64_t> hardware_exception_count{0};
  std::atomic<Callback> transfer_end{nullptr};
  std::atomic<void *> transfer_end_context{nullptr};
  std::atomic<Callback> exposure_end{nullptr};
  std::atomic<void *> exposure_end_context{nullptr};
  std::atomic<int32_t> callback_counter{0};
  std::atomic<int64_t> last_frame_time_ms{0};  // wall clock of the latest frame event
  std::atomic<uint32_t> last_encoder_count{0};
  std::atomic<uint8_t> debug_output{0};
  std::atomic<uint8_t> software_timestamp{0};

  StitchShareState stitch;  // owned by stitch_params.cpp
};

}  // namespace grabline
