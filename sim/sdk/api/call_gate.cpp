// Call counts, injected faults and the call log. One lock guards them; it is
// never held while an SDK function does its work, nor while a call's record
// is named (that may take the system's lock).
#include "api/call_gate.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace bfsim::api {

std::atomic<bool> recording{false};

namespace {

// A log left on by mistake must not eat the machine.
constexpr size_t kMaxRecorded = 1'000'000;

struct Fault {
  uint64_t at_call;  // the count the call will have
  uint32_t code;
};

struct GateState {
  std::mutex mutex;
  std::condition_variable logged;  // an entry was added or completed
  std::map<std::string, uint64_t, std::less<>> counts;
  std::map<std::string, std::vector<Fault>, std::less<>> faults;
  std::deque<Call> log;       // by sequence number, ascending
  uint64_t total = 0;         // calls of every function together
  uint64_t any_fault_at = 0;  // the total the failing call will have, 0 none
  uint32_t any_fault_code = 0;
  // Sequence numbers start again at Reset(); a call entered before carries
  // the old epoch and so cannot complete a newer entry of the same number.
  uint64_t epoch = 1;
  uint32_t threads = 0;  // ids handed out in this epoch
};

GateState &TheGate() {
  static GateState gate;
  return gate;
}

// A thread's id is its own to read and write; the epoch says whether it is
// still valid.
struct ThreadTag {
  uint64_t epoch = 0;
  uint32_t id = 0;
};
thread_local ThreadTag this_thread;

uint32_t ThreadIdLocked(GateState &gate) {
  if (this_thread.epoch != gate.epoch) this_thread = ThreadTag{gate.epoch, ++gate.threads};
  return this_thread.id;
}

uint64_t &CounterLocked(GateState &gate, std::string_view function) {
  auto it = gate.counts.find(function);
  if (it == gate.counts.end()) it = gate.counts.emplace(std::string(function), 0).first;
  return it->second;
}

// Counts the call; the injected result if it is the one a fault was set for.
std::optional<uint32_t> CountLocked(GateState &gate, std::string_view function) {
  uint64_t count = ++CounterLocked(gate, function);
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

// The entry of `sequence`, or the log's end when it is no longer there.
std::deque<Call>::iterator FindLocked(GateState &gate, uint64_t sequence) {
  auto it =
      std::lower_bound(gate.log.begin(), gate.log.end(), sequence,
                       [](const Call &call, uint64_t wanted) { return call.sequence < wanted; });
  return it != gate.log.end() && it->sequence == sequence ? it : gate.log.end();
}

bool Matches(const Call &call, const CallFilter &filter) {
  return call.sequence > filter.after &&
         (filter.function.empty() || call.function == filter.function) &&
         (filter.record.empty() || call.record == filter.record) &&
         (filter.thread == 0 || call.thread == filter.thread);
}

std::deque<Call>::iterator FirstMatchLocked(GateState &gate, const CallFilter &filter) {
  auto from =
      std::upper_bound(gate.log.begin(), gate.log.end(), filter.after,
                       [](uint64_t after, const Call &call) { return after < call.sequence; });
  return std::find_if(from, gate.log.end(),
                      [&](const Call &call) { return Matches(call, filter); });
}

std::chrono::steady_clock::time_point Deadline(uint32_t timeout_ms) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
}

}  // namespace

Entered EnterCall(std::string_view function) {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  Entered call;
  call.fault = CountLocked(gate, function);
  return call;
}

Entered EnterLogged(std::string_view function, std::initializer_list<uint64_t> args,
                    Detail detail) {
  Call entry{std::string(function), std::vector<uint64_t>(args), 0};
  entry.record = std::move(detail.record);
  entry.payload = std::move(detail.payload);
  GateState &gate = TheGate();
  Entered call;
  {
    std::lock_guard lock(gate.mutex);
    call.fault = CountLocked(gate, function);
    // The count just taken numbers the call, so the log stays in order.
    call.sequence_ = entry.sequence = gate.total;
    call.epoch_ = gate.epoch;
    entry.thread = ThreadIdLocked(gate);
    gate.log.push_back(std::move(entry));
    if (gate.log.size() > kMaxRecorded) gate.log.pop_front();
  }
  gate.logged.notify_all();
  return call;
}

void ReturnCall(Entered &call, uint32_t result) {
  if (call.sequence_ == 0) return;
  GateState &gate = TheGate();
  {
    std::lock_guard lock(gate.mutex);
    if (call.epoch_ != gate.epoch) return;
    auto it = FindLocked(gate, call.sequence_);
    if (it == gate.log.end()) return;  // taken or pushed out meanwhile
    it->result = result;
    it->returned = true;
    if (call.made_) it->record = std::move(*call.made_);
    if (call.handed_back_) it->payload = std::move(*call.handed_back_);
  }
  gate.logged.notify_all();
}

void InjectFault(std::string_view function, uint32_t nth, uint32_t code) {
  if (nth == 0) return;  // no call is the 0th from now
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  uint64_t now = CounterLocked(gate, function);
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
  std::vector<Call> calls(std::make_move_iterator(gate.log.begin()),
                          std::make_move_iterator(gate.log.end()));
  gate.log.clear();
  return calls;
}

std::vector<Call> RecordedCalls(const CallFilter &filter) {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  std::vector<Call> calls;
  for (auto it = FirstMatchLocked(gate, filter); it != gate.log.end(); ++it) {
    if (Matches(*it, filter)) calls.push_back(*it);
  }
  return calls;
}

void RestartLog() {
  GateState &gate = TheGate();
  {
    std::lock_guard lock(gate.mutex);
    gate.log.clear();
    ++gate.epoch;
    gate.threads = 0;
  }
  gate.logged.notify_all();
}

uint32_t CallingThreadId() {
  GateState &gate = TheGate();
  std::lock_guard lock(gate.mutex);
  return ThreadIdLocked(gate);
}

std::optional<Call> AwaitCall(const CallFilter &filter, uint32_t timeout_ms) {
  GateState &gate = TheGate();
  std::unique_lock lock(gate.mutex);
  auto found = gate.log.end();
  gate.logged.wait_until(lock, Deadline(timeout_ms), [&] {
    found = FirstMatchLocked(gate, filter);
    return found != gate.log.end();
  });
  if (found == gate.log.end()) return std::nullopt;
  return *found;
}

std::optional<Call> AwaitReturn(uint64_t sequence, uint32_t timeout_ms) {
  GateState &gate = TheGate();
  std::unique_lock lock(gate.mutex);
  auto found = gate.log.end();
  gate.logged.wait_until(lock, Deadline(timeout_ms), [&] {
    found = FindLocked(gate, sequence);
    return found == gate.log.end() || found->returned;
  });
  if (found == gate.log.end() || !found->returned) return std::nullopt;
  return *found;
}

}  // namespace bfsim::api
