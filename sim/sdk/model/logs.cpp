// Logs of the user-visible output. Both logs keep only their newest entries:
// a tool that runs for hours with debug output on must not grow without end.
#include "model/logs.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace bfsim::model {
namespace {

constexpr size_t kMaxEntries = 10000;
constexpr size_t kMaxText = 4096;

struct Logs {
  std::mutex mutex;
  std::deque<std::string> debug;
  std::deque<uint32_t> error_shows;
};

Logs &TheLogs() {
  static Logs logs;
  return logs;
}

std::atomic<int> echo{-1};  // -1: not read yet

bool Echo() {
  if (echo.load(std::memory_order_relaxed) < 0) ReadDebugSwitch();
  return echo.load(std::memory_order_relaxed) > 0;
}

template <typename T>
void Append(std::deque<T> &log, T entry) {
  log.push_back(std::move(entry));
  if (log.size() > kMaxEntries) log.pop_front();
}

}  // namespace

void ReadDebugSwitch() {
  const char *value = std::getenv("GRABLINE_SIM_DEBUG");
  echo.store(value != nullptr && *value != '\0' ? 1 : 0, std::memory_order_relaxed);
}

void LogDebugOutput(std::string_view text) {
  text = text.substr(0, kMaxText);
  if (Echo()) std::fprintf(stderr, "[bfsim] %.*s", static_cast<int>(text.size()), text.data());
  std::lock_guard lock(TheLogs().mutex);
  Append(TheLogs().debug, std::string(text));
}

void LogErrorShow(uint32_t board, std::string_view model) {
  if (Echo()) {
    std::fprintf(stderr, "[bfsim] error display for board %u (%.*s)\n", board,
                 static_cast<int>(model.size()), model.data());
  }
  std::lock_guard lock(TheLogs().mutex);
  Append(TheLogs().error_shows, board);
}

std::vector<std::string> DebugOutputLog() {
  std::lock_guard lock(TheLogs().mutex);
  return {TheLogs().debug.begin(), TheLogs().debug.end()};
}

std::vector<uint32_t> ErrorShowLog() {
  std::lock_guard lock(TheLogs().mutex);
  return {TheLogs().error_shows.begin(), TheLogs().error_shows.end()};
}

void ClearModelLogs() {
  std::lock_guard lock(TheLogs().mutex);
  TheLogs().debug.clear();
  TheLogs().error_shows.clear();
}

}  // namespace bfsim::model
