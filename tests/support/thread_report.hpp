// What the system reports of a thread started through the OS layer, after
// priorities were set through its handle.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "platform/os.hpp"
#include "support/eventually.hpp"

namespace grabline::testing {

// `observe` runs on the thread once the priorities are set, in turn, while the
// thread may still be starting (either side applies them).
inline int64_t SeenAfter(std::initializer_list<int> priorities, int64_t (*observe)()) {
  struct Report {
    os::Event *gate = os::CreateEvent(false);
    int64_t (*observe)() = nullptr;
    std::atomic<int64_t> seen{0};
    ~Report() { os::CloseEvent(gate); }
    static uint32_t Entry(void *raw) {
      auto *self = static_cast<Report *>(raw);
      os::WaitEvent(self->gate, os::kInfinite);
      self->seen.store(self->observe());
      return 0;
    }
  } report;
  report.observe = observe;
  os::Thread *thread = os::CreateThread(Report::Entry, &report);
  EXPECT_NE(thread, nullptr);
  if (thread == nullptr) return 0;
  for (int priority : priorities) EXPECT_TRUE(os::SetThreadPriority(thread, priority));
  os::SetEvent(report.gate);
  uint32_t code = 0;
  EXPECT_TRUE(Eventually([&] { return os::GetExitCodeThread(thread, &code) && code == 0; }));
  os::CloseThread(thread);
  return report.seen.load();
}

}  // namespace grabline::testing
