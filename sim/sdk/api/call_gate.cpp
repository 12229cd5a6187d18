// Call counts, injected faults and the call record. One lock guards them; it
// is never held while an SDK function does its work.
#include "api/call_gate.hpp"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>

namespace bfsim::api {
namespace {

// A record left on by mistake must not eat the machine.
constexpr size_t kMaxRecorded = 1'000'000;

struct Fault {
  uint64_t at_call;  // the count the call will have
  uint32_t code;
};

struct GateState {
  std::mutex mutex;
  std::map<std::string, uint64_t, std::less<>> counts;
  std::map<std::string, std::vector<Fault>, std::less<>> faults;
  std::deque<Call> recorded;
  uint64_t total = 0;         // calls of every function together
  uint64_t any_fault_at = 0;  // the total the failing call will have, 0 none
  uint32_t any_fault_code = 0;
};

GateState &TheGate() {
  static GateState gate;
  return gate;
}

std::atomic<bool> recording{false};

uint64_t &CountLocked(GateState &gate, std::string_view function) {
  auto it = gate.counts.find(function);
  if (it == gate.counts.end()) it = gate.counts.emplace(std::string(function), 0).first;
  return it->second;
}

}  // namespace

std::optional<uint32_t> EnterCall(std::string_view function) {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  uint64_t count = ++CountLocked(gate, function);
  if (++gate.total == gate.any_fault_at) {
    gate.any_fault_at = 0;
    return gate.any_fault_code;
  }
  auto it = gate.faults.find(function);
  if (it == gate.faults.end()) return std::nullopt;
  std::vector<Fault> &faults = it->second;
  for (auto f = faults.begin(); f != faults.end(); ++f) {
    if (f->at_call == count) {
      uint32_t code = f->code;
      faults.erase(f);
      if (faults.empty()) gate.faults.erase(it);
      return code;
    }
  }
  return std::nullopt;
}

void RecordCall(std::string_view function, std::initializer_list<uint64_t> args, uint32_t result) {
  if (!recording.load(std::memory_order_relaxed)) return;
  Call call{std::string(function), std::vector<uint64_t>(args), result};
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  gate.recorded.push_back(std::move(call));
  if (gate.recorded.size() > kMaxRecorded) gate.recorded.pop_front();
}

void InjectFault(std::string_view function, uint32_t nth, uint32_t code) {
  if (nth == 0) return;  // no call is the 0th from now
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  uint64_t now = CountLocked(gate, function);
  gate.faults[std::string(function)].push_back(Fault{now + nth, code});
}

void InjectAnyFault(uint32_t nth, uint32_t code) {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  gate.any_fault_at = nth == 0 ? 0 : gate.total + nth;
  gate.any_fault_code = code;
}

void ClearInjectedFaults() {
  std::lock_guard lock(TheGate().mutex);
  TheGate().faults.clear();
  TheGate().any_fault_at = 0;
}

uint64_t TotalCount() {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  return gate.total;
}

uint64_t CountOf(std::string_view function) {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  auto it = gate.counts.find(function);
  return it == gate.counts.end() ? 0 : it->second;
}

void ClearCallCounts() {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  gate.counts.clear();
  gate.total = 0;
  gate.faults.clear();  // their targets were counted from the old counts
  gate.any_fault_at = 0;
}

void SetRecording(bool on) { recording.store(on, std::memory_order_relaxed); }

std::vector<Call> TakeRecordedCalls() {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  std::vector<Call> calls(std::make_move_iterator(gate.recorded.begin()),
                          std::make_move_iterator(gate.recorded.end()));
  gate.recorded.clear();
  return calls;
}

}  // namespace bfsim::api
