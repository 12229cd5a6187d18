// The control API of the call log and of the values tests program for the
// SDK to report.
#include <algorithm>
#include <utility>

#include "api/call_gate.hpp"
#include "api/programmed.hpp"
#include "bfsim_control.hpp"

namespace bfsim {

void RecordCalls(bool on) { api::SetRecording(on); }

std::vector<Call> TakeCalls() { return api::TakeRecordedCalls(); }

std::vector<std::string> TakeCallNames() {
  std::vector<Call> calls = api::TakeRecordedCalls();
  std::vector<std::string> names(calls.size());
  std::transform(calls.begin(), calls.end(), names.begin(),
                 [](Call &call) { return std::move(call.function); });
  return names;
}

std::vector<Call> Calls(const CallFilter &filter) { return api::RecordedCalls(filter); }

uint32_t ThisThreadId() { return api::CallingThreadId(); }

std::optional<Call> WaitForCall(const CallFilter &filter, uint32_t timeout_ms) {
  return api::AwaitCall(filter, timeout_ms);
}

std::optional<Call> WaitForReturn(uint64_t sequence, uint32_t timeout_ms) {
  return api::AwaitReturn(sequence, timeout_ms);
}

void SetRegisterReadSequence(uint32_t n, uint32_t id, std::vector<uint32_t> values) {
  api::SetReadSequence(n, id, std::move(values));
}

void SetRegisterReadHook(uint32_t n, uint32_t id, RegisterReadHook hook) {
  api::SetReadHook(n, id, std::move(hook));
}

void SetFineRate(uint64_t rate) { api::SetProgrammedFineRate(std::nullopt, rate); }

void SetFineRate(uint32_t n, uint64_t rate) { api::SetProgrammedFineRate(n, rate); }

}  // namespace bfsim
