// os_threads_win32.cpp — threads with exit codes and priorities, on the
// system's own threads.
#include <atomic>
#include <new>

#include "platform/os.hpp"
#include "platform/win32.hpp"

namespace grabline::os {

// The handle the caller holds and the running thread share the record;
// whichever lets go of it last frees it, so a handle may be closed while its
// thread still runs. The system's handle stays open as long as the record,
// so its exit code and priority can always be asked for.
struct Thread {
  ThreadEntry entry = nullptr;
  void *arg = nullptr;
  HANDLE system = nullptr;
  std::atomic<int> priority{0};
  std::atomic<int> references{2};  // the handle and the thread
};

namespace {

std::atomic<uint32_t> running_threads{0};

void Release(Thread *thread) {
  if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    if (thread->system != nullptr) CloseHandle(thread->system);
    delete thread;
  }
}

// The values a process of the normal priority class may give its threads:
// idle, -2 .. 2, time critical. Others on the scale are kept with the thread
// and reach the system as the nearest of these.
int SystemPriority(int priority) {
  if (priority <= kPriorityIdle) return THREAD_PRIORITY_IDLE;
  if (priority >= kPriorityTimeCritical) return THREAD_PRIORITY_TIME_CRITICAL;
  if (priority < THREAD_PRIORITY_LOWEST) return THREAD_PRIORITY_LOWEST;
  if (priority > THREAD_PRIORITY_HIGHEST) return THREAD_PRIORITY_HIGHEST;
  return priority;
}

DWORD WINAPI Run(void *raw) {
  auto *thread = static_cast<Thread *>(raw);
  const uint32_t code = thread->entry(thread->arg);
  Release(thread);
  // Last, so that a count back at its start value means every record of the
  // ended threads is gone.
  running_threads.fetch_sub(1, std::memory_order_acq_rel);
  return code;
}

}  // namespace

Thread *CreateThread(ThreadEntry entry, void *arg) {
  if (entry == nullptr) return nullptr;
  auto *thread = new (std::nothrow) Thread;
  if (thread == nullptr) return nullptr;
  thread->entry = entry;
  thread->arg = arg;
  running_threads.fetch_add(1, std::memory_order_acq_rel);
  // Suspended until the record holds its handle, which Release closes.
  thread->system = ::CreateThread(nullptr, 0, Run, thread, CREATE_SUSPENDED, nullptr);
  if (thread->system == nullptr) {
    running_threads.fetch_sub(1, std::memory_order_acq_rel);
    delete thread;
    return nullptr;
  }
  ResumeThread(thread->system);
  return thread;
}

bool SetThreadPriority(Thread *thread, int priority) {
  if (thread == nullptr || priority < kPriorityIdle || priority > kPriorityTimeCritical) {
    return false;
  }
  thread->priority.store(priority, std::memory_order_relaxed);
  ::SetThreadPriority(thread->system, SystemPriority(priority));
  return true;
}

int GetThreadPriority(const Thread *thread) {
  return thread == nullptr ? 0 : thread->priority.load(std::memory_order_relaxed);
}

bool GetExitCodeThread(const Thread *thread, uint32_t *code) {
  if (thread == nullptr || code == nullptr) return false;
  DWORD exit_code = STILL_ACTIVE;
  if (!::GetExitCodeThread(thread->system, &exit_code)) return false;
  *code = exit_code;
  return true;
}

void CloseThread(Thread *thread) {
  if (thread != nullptr) Release(thread);
}

uint32_t RunningThreads() { return running_threads.load(std::memory_order_acquire); }

}  // namespace grabline::os
