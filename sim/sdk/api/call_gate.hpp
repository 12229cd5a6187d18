// call_gate.hpp — what every SDK function does before and after its work:
// count the call, return an injected fault instead of working, record it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bfsim_control.hpp"

namespace bfsim::api {

// Counts a call of `function`; returns the injected result if this call is
// the one a fault was set for.
std::optional<uint32_t> EnterCall(std::string_view function);
void RecordCall(std::string_view function, std::initializer_list<uint64_t> args, uint32_t result);

// Runs `body` unless a fault is due, records the call, returns the result.
template <typename R, typename Body>
R Gate(std::string_view function, std::initializer_list<uint64_t> args, Body &&body) {
  R result;
  if (std::optional<uint32_t> fault = EnterCall(function)) {
    result = static_cast<R>(*fault);
  } else {
    result = body();
  }
  RecordCall(function, args, static_cast<uint32_t>(result));
  return result;
}

// For the functions that return nothing: a fault only suppresses the work.
template <typename Body>
void GateVoid(std::string_view function, std::initializer_list<uint64_t> args, Body &&body) {
  if (!EnterCall(function)) body();
  RecordCall(function, args, 0);
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

}  // namespace bfsim::api
