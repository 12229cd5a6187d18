// The error hook, call tracing and message printing, with the logs tests read,
// and the switches that tell a plug-in whether to trace.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "host_internal.hpp"

namespace tarvel {
namespace {

// A tool that grabs for hours with spying on must not grow the logs without end;
// the newest entries are the ones worth keeping.
constexpr size_t kMaxLogEntries = 65536;

struct Logs {
  std::mutex mutex;
  std::deque<std::string> printed;
  std::deque<HookCall> hook_calls;
  std::deque<HookCall> spy_calls;
  std::optional<Terr> process_err_result;
};

Logs &TheLogs() {
  static Logs logs;
  return logs;
}

std::atomic<bool> spying{false};

template <typename T>
void Append(std::deque<T> *log, T entry) {
  if (log->size() == kMaxLogEntries) log->pop_front();
  log->push_back(std::move(entry));
}

template <typename T>
std::vector<T> Snapshot(const std::deque<T> &log) {
  return {log.begin(), log.end()};
}

std::string Text(const char *text) { return text != nullptr ? text : ""; }

}  // namespace

std::vector<std::string> PrintedMessages() {
  std::lock_guard lock(TheLogs().mutex);
  return Snapshot(TheLogs().printed);
}

std::vector<HookCall> ErrorHookCalls() {
  std::lock_guard lock(TheLogs().mutex);
  return Snapshot(TheLogs().hook_calls);
}

std::vector<HookCall> SpyCalls() {
  std::lock_guard lock(TheLogs().mutex);
  return Snapshot(TheLogs().spy_calls);
}

void ClearLogs() {
  {
    std::lock_guard lock(TheLogs().mutex);
    TheLogs().printed.clear();
    TheLogs().hook_calls.clear();
    TheLogs().spy_calls.clear();
  }
  internal::ClearRejectedFrees();
  internal::ClearHostCalls();
}

void SetProcessErrResult(std::optional<Terr> result) {
  std::lock_guard lock(TheLogs().mutex);
  TheLogs().process_err_result = result;
}

void SetSpying(bool on) {
  spying.store(on, std::memory_order_relaxed);
#if defined(TARVEL_BUILD_PAR)
  // The par host publishes the switch as two flags of a plain record that plug-in
  // threads read; store them atomically so a switch during a grab is not a race here.
  std::atomic_ref<uint8_t>(TROInfo.spy_on).store(on ? 1 : 0, std::memory_order_relaxed);
  std::atomic_ref<uint8_t>(TROInfo.spy_proc).store(on ? 1 : 0, std::memory_order_relaxed);
#endif
}

}  // namespace tarvel

extern "C" {

Terr TProcessErr(const char *text, Terr code, int32_t line, const char *file) {
  tarvel::Logs &logs = tarvel::TheLogs();
  Terr answer = 0;
  {
    std::lock_guard lock(logs.mutex);
    tarvel::Append(&logs.hook_calls,
                   tarvel::HookCall{tarvel::Text(text), code, line, tarvel::Text(file)});
    answer = logs.process_err_result.value_or(code);
  }
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::internal::RecordHostCall("TProcessErr", {code, line, 0, 0}, text, answer);
  }
  return answer;
}

#if !defined(TARVEL_BUILD_PAR)
uint8_t IOGetSpyProcCallSwitch(void) {
  return tarvel::spying.load(std::memory_order_relaxed) ? 1 : 0;
}
#endif

void IOSpyProcCall(const char *text, int32_t line, const char *file) {
  {
    tarvel::Logs &logs = tarvel::TheLogs();
    std::lock_guard lock(logs.mutex);
    tarvel::Append(&logs.spy_calls,
                   tarvel::HookCall{tarvel::Text(text), 0, line, tarvel::Text(file)});
  }
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::internal::RecordHostCall("IOSpyProcCall", {line, 0, 0, 0}, text, T_MSG_OK);
  }
}

void IOPrintErrorMessage(const char *text) {
  std::string message = tarvel::Text(text);
  const char *print = std::getenv("TARVEL_PRINT_ERRORS");
  if (print != nullptr && print[0] != '\0') {
    std::fprintf(stderr, "%s\n", message.c_str());
  }
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::internal::RecordHostCall("IOPrintErrorMessage", {}, text, T_MSG_OK);
  }
  tarvel::Logs &logs = tarvel::TheLogs();
  std::lock_guard lock(logs.mutex);
  tarvel::Append(&logs.printed, std::move(message));
}

}  // extern "C"
