// Waiting for what another thread does, polled every millisecond; the
// limit only ends a test that is failing anyway.
#pragma once

#include <chrono>
#include <thread>

namespace grabline::testing {

template <typename Read>
bool Eventually(Read read, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!read()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace grabline::testing
