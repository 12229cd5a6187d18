// call_gate.hpp — what every SDK function does around its work: count the
// call, return an injected fault instead of working, and log it as it is
// entered and as it returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "bfsim_control.hpp"

namespace bfsim::api {

// What the log shows of a call beside its name and integers. Worked out only
// while the log records, so a call costs nothing more when it does not.
struct Detail {
  std::string record;
  std::string payload;
};

// A call that names no record and hands nothing over.
struct Plain {
  Detail operator()() const { return {}; }
};

// A call in progress, between its entry and its return.
class Entered {
 public:
  // The injected result, when the work is to be skipped.
  std::optional<uint32_t> fault;

  // What a create call made: its entry names it from the return on.
  void Made(std::string record) {
    if (sequence_ != 0) made_ = std::move(record);
  }
  // Bytes the call hands back to its caller, shown from the return on.
  void HandsBack(std::string payload) {
    if (sequence_ != 0) handed_back_ = std::move(payload);
  }

 private:
  friend Entered EnterLogged(std::string_view, std::initializer_list<uint64_t>, Detail);
  friend void ReturnCall(Entered &, uint32_t);

  uint64_t sequence_ = 0;  // 0: not logged
  uint64_t epoch_ = 0;
  std::optional<std::string> made_;
  std::optional<std::string> handed_back_;
};

// Whether calls are logged: the one check a call makes for the log.
extern std::atomic<bool> recording;

// Counts a call of `function` and arms its fault, without logging it.
Entered EnterCall(std::string_view function);
// The same, and logs the entry.
Entered EnterLogged(std::string_view function, std::initializer_list<uint64_t> args, Detail detail);
// Completes the call's entry, if it has one still in the log.
void ReturnCall(Entered &call, uint32_t result);

template <typename Describe>
Entered Enter(std::string_view function, std::initializer_list<uint64_t> args,
              Describe &&describe) {
  if (!recording.load(std::memory_order_relaxed)) return EnterCall(function);
  return EnterLogged(function, args, describe());
}

// Runs `body` unless a fault is due and returns its result. `describe`
// gives the record and payload the entry shows; a body that takes the
// Entered can add what it made or hands back.
template <typename R, typename Describe, typename Body>
R Gate(std::string_view function, std::initializer_list<uint64_t> args, Describe &&describe,
       Body &&body) {
  Entered call = Enter(function, args, describe);
  R result;
  if (call.fault) {
    result = static_cast<R>(*call.fault);
  } else if constexpr (std::is_invocable_v<Body &, Entered &>) {
    result = body(call);
  } else {
    result = body();
  }
  ReturnCall(call, static_cast<uint32_t>(result));
  return result;
}

template <typename R, typename Body>
R Gate(std::string_view function, std::initializer_list<uint64_t> args, Body &&body) {
  return Gate<R>(function, args, Plain{}, std::forward<Body>(body));
}

// For the functions that return nothing: a fault only suppresses the work.
template <typename Describe, typename Body>
void GateVoid(std::string_view function, std::initializer_list<uint64_t> args, Describe &&describe,
              Body &&body) {
  Entered call = Enter(function, args, describe);
  if (!call.fault) body();
  ReturnCall(call, 0);
}

// Control side.
void InjectFault(std::string_view function, uint32_t nth, uint32_t code);
// The nth call from now of any function fails with `code`; 0 disarms.
void InjectAnyFault(uint32_t nth, uint32_t code);
void ClearInjectedFaults();
uint64_t CountOf(std::string_view function);
uint64_t TotalCount();
void ClearCallCounts();
void SetRecording(bool on);
std::vector<Call> TakeRecordedCalls();
std::vector<Call> RecordedCalls(const CallFilter &filter);
// Empties the log and starts thread ids afresh; returns of calls entered
// before are not logged.
void RestartLog();
uint32_t CallingThreadId();
std::optional<Call> AwaitCall(const CallFilter &filter, uint32_t timeout_ms);
std::optional<Call> AwaitReturn(uint64_t sequence, uint32_t timeout_ms);

}  // namespace bfsim::api
