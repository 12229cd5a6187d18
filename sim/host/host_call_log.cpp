// The call log: every host call a plug-in makes, in the order the calls took effect,
// with small thread numbers a test can reason about.
#include <deque>
#include <iterator>
#include <mutex>

#include "host_internal.hpp"

namespace tarvel {
namespace {

// A long grab with the log on must not grow it without end; the sequence numbers
// show where old entries were dropped.
constexpr size_t kMaxHostCalls = 65536;

struct CallLog {
  std::mutex mutex;
  std::deque<HostCall> calls;
  uint64_t next_sequence = 1;
  // Thread numbers are handed out per generation; clearing the log starts a new one.
  uint64_t generation = 1;
  uint32_t threads = 0;
};

CallLog &TheCallLog() {
  static CallLog log;
  return log;
}

// A thread's number in the current generation. Kept per thread rather than keyed by
// std::thread::id, which the system reuses once a thread has ended.
struct ThreadNumber {
  uint64_t generation = 0;
  uint32_t number = 0;
};
thread_local ThreadNumber thread_number;

}  // namespace

namespace internal {

std::atomic<bool> recording_host_calls{false};

void RecordHostCall(std::string_view name, std::array<int64_t, 4> fields, const char *text,
                    Terr result) {
  HostCall call;
  call.name = name;
  call.fields = fields;
  if (text != nullptr) call.text = text;
  call.result = result;
  CallLog &log = TheCallLog();
  std::lock_guard lock(log.mutex);
  if (thread_number.generation != log.generation) {
    thread_number = {log.generation, ++log.threads};
  }
  call.thread = thread_number.number;
  call.sequence = log.next_sequence++;
  if (log.calls.size() == kMaxHostCalls) log.calls.pop_front();
  log.calls.push_back(std::move(call));
}

void ClearHostCalls() {
  CallLog &log = TheCallLog();
  std::lock_guard lock(log.mutex);
  log.calls.clear();
  log.next_sequence = 1;
  ++log.generation;
  log.threads = 0;
}

}  // namespace internal

void RecordHostCalls(bool on) {
  internal::recording_host_calls.store(on, std::memory_order_relaxed);
}

std::vector<HostCall> HostCalls() {
  CallLog &log = TheCallLog();
  std::lock_guard lock(log.mutex);
  return {log.calls.begin(), log.calls.end()};
}

std::vector<HostCall> TakeHostCalls() {
  CallLog &log = TheCallLog();
  std::lock_guard lock(log.mutex);
  std::vector<HostCall> taken(std::make_move_iterator(log.calls.begin()),
                              std::make_move_iterator(log.calls.end()));
  log.calls.clear();
  return taken;
}

std::vector<HostCall> HostCallsOf(uint32_t thread, const std::vector<HostCall> &calls) {
  std::vector<HostCall> of;
  for (const HostCall &call : calls) {
    if (call.thread == thread) of.push_back(call);
  }
  return of;
}

std::vector<std::string> HostCallNames(const std::vector<HostCall> &calls) {
  std::vector<std::string> names;
  names.reserve(calls.size());
  for (const HostCall &call : calls) names.emplace_back(call.name);
  return names;
}

}  // namespace tarvel
