// A camera that answers the board: frames delivered while an operation
// waits for them.
#pragma once

#include <atomic>
#include <thread>

#include "bfsim_control.hpp"
#include "tarvel_host.hpp"

namespace grabline::testing {

// Runs `operation` on a thread of its own and, while it has not returned,
// delivers a frame whenever board `board` is armed for one: a snap, a resnap
// or an asynchronous snap gets its frame whenever it asks, and an operation
// that never arms ends by its own time-out.
template <typename Operation>
Terr WhileDelivering(Operation &&operation, uint32_t board = 0) {
  std::atomic<bool> done{false};
  Terr result = 0;
  std::thread worker([&] {
    result = operation();
    done.store(true);
  });
  while (!done.load()) {
    if (bfsim::WaitArmed(board, 2)) {
      const auto state = bfsim::AcquisitionState(board);
      // Continuous acquisition is driven by the caller, frame by frame.
      if (state && state->snap) bfsim::DeliverFrames(board, 1);
    }
  }
  worker.join();
  return result;
}

}  // namespace grabline::testing
