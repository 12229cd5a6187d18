// continuous_state.hpp — what an instance keeps of continuous grabbing: the
// worker thread, its state, the semaphore it releases once a frame, and the
// settings it runs with. The worker and the functions of continuous.hpp
// change it; the parameters of continuous_params.cpp and snap_params.cpp
// store the settings.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/os.hpp"

namespace grabline {

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

struct ContinuousGrabState {
  std::atomic<uint8_t> enabled{0};  // the parameter continuous_grabbing
  os::Thread *thread = nullptr;
  std::atomic<uint32_t> state{CGStopped};
  // 1 while a start/stop worker waits for its trigger; 2 asks it to give up.
  std::atomic<uint32_t> startup_state{0};
  std::atomic<uint32_t> signal_armed{0};
  // Released once per filled buffer. It lives with the instance: a grab may
  // still hold it while a worker ends.
  std::atomic<os::Semaphore *> semaphore{nullptr};
  uint32_t semaphore_max = 0;
  uint32_t frames_pending = 0;  // guarded by the process-wide cg_list_mutex

  std::atomic<uint32_t> timeout{10000};  // ms the worker waits for a frame
  std::atomic<uint32_t> stop_margin{1};  // ring_buffer_stop_margin
  std::atomic<uint32_t> overwrite_method{kOverwriteAbort};
};

}  // namespace grabline
