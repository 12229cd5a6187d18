// Reading the simulator's call log: which signal is which, and where the
// calls of one thread fall against those of another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bfsim_control.hpp"
#include "platform/build_profile.hpp"

namespace grabline::testing {

// The wait the continuous-grab worker makes for each frame.
inline constexpr const char *kWorkerWait =
    kProfile.has_software_timestamps ? "CiSignalWaitEx" : "CiSignalWait";

// Sequence number of the first entry of `log` that `match` accepts, or
// UINT64_MAX when none does (so a missing call never counts as "before").
template <typename Match>
uint64_t FirstOf(const std::vector<bfsim::Call> &log, Match match) {
  for (const bfsim::Call &call : log) {
    if (match(call)) return call.sequence;
  }
  return UINT64_MAX;
}

// Sequence number of the last entry that `match` accepts, or 0 when none does.
template <typename Match>
uint64_t LastOf(const std::vector<bfsim::Call> &log, Match match) {
  uint64_t last = 0;
  for (const bfsim::Call &call : log) {
    if (match(call)) last = call.sequence;
  }
  return last;
}

// Calls of `function`, on `record` when one is given.
inline auto Named(std::string function, std::string record = {}) {
  return [function = std::move(function), record = std::move(record)](const bfsim::Call &call) {
    return call.function == function && (record.empty() || call.record == record);
  };
}

inline auto OnThread(uint32_t thread) {
  return [thread](const bfsim::Call &call) { return call.thread == thread; };
}

// The signals CiSignalCreate made, in the order made.
inline std::vector<std::string> CreatedSignals(const std::vector<bfsim::Call> &log) {
  std::vector<std::string> made;
  for (const bfsim::Call &call : log) {
    if (call.function == "CiSignalCreate" && call.returned && call.result == 0) {
      made.push_back(call.record);
    }
  }
  return made;
}

// The signal the board acquires continuously into: the last one handed to
// CiBrdAqSigSetCur.
inline std::string AcquisitionSignal(const std::vector<bfsim::Call> &log) {
  std::string signal;
  for (const bfsim::Call &call : log) {
    if (call.function == "CiBrdAqSigSetCur") signal = call.record;
  }
  return signal;
}

}  // namespace grabline::testing
