// event_state.hpp — the board events an instance follows and the callbacks
// it calls for them. Only the event threads (event_threads.cpp) and the
// callback registration (callbacks.cpp) change it; the parameters read it
// and reset the counts.
#pragma once

#include <atomic>
#include <cstdint>

#include "bfsdk.h"
#include "platform/os.hpp"
#include "tarvel.h"

namespace grabline {

using Callback = TFgCallback;

// One event of the board and the thread that waits for it.
struct EventWatch {
  CiSIGNAL signal{};
  os::Thread *thread = nullptr;
  std::atomic<uint8_t> running{0};
  std::atomic<uint64_t> count{0};  // events seen (overflow, hardware exception)
};

struct EventThreadState {
  EventWatch frame_done;
  EventWatch exposure_done;
  EventWatch overflow;
  EventWatch hw_exception;
  // An overflow seen while no worker re-armed the board: the next grab does.
  std::atomic<uint8_t> overflow_pending{0};

  std::atomic<Callback> transfer_end{nullptr};
  std::atomic<void *> transfer_end_context{nullptr};
  std::atomic<Callback> exposure_end{nullptr};
  std::atomic<void *> exposure_end_context{nullptr};
  std::atomic<int32_t> callback_counter{0};
  std::atomic<int64_t> last_frame_time_ms{0};  // wall clock of the latest frame event
};

}  // namespace grabline
