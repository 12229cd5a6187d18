// os_threads.cpp — threads with exit codes and priorities, on pthreads.
#include <pthread.h>

#include <atomic>
#include <new>

#include "platform/os.hpp"

namespace grabline::os {

// The control block is shared by the handle and the running thread; whichever
// lets go of it last frees it, so a handle may be closed while its thread
// still runs.
struct Thread {
  ThreadEntry entry = nullptr;
  void *arg = nullptr;
  std::atomic<uint32_t> exit_code{kStillActive};
  std::atomic<int> priority{0};
  std::atomic<int> references{2};  // the handle and the thread
};

namespace {

constexpr int kLowestPriority = -15;
constexpr int kHighestPriority = 15;

std::atomic<uint32_t> running_threads{0};

void Release(Thread *thread) {
  if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete thread;
}

void *Run(void *raw) {
  auto *thread = static_cast<Thread *>(raw);
  const uint32_t code = thread->entry(thread->arg);
  // An entry that returns kStillActive looks as if it still ran, exactly as on
  // the old platform; the plug-in's entries return 0.
  thread->exit_code.store(code, std::memory_order_release);
  Release(thread);
  // Last, so that a count back at its start value means every control block
  // of the ended threads is gone.
  running_threads.fetch_sub(1, std::memory_order_acq_rel);
  return nullptr;
}

}  // namespace

Thread *CreateThread(ThreadEntry entry, void *arg) {
  if (entry == nullptr) return nullptr;
  auto *thread = new (std::nothrow) Thread;
  if (thread == nullptr) return nullptr;
  thread->entry = entry;
  thread->arg = arg;

  // Detached: nobody joins, the exit code is the only thing a caller awaits,
  // and the system reclaims the thread as soon as it ends.
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete thread;
    return nullptr;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  running_threads.fetch_add(1, std::memory_order_acq_rel);
  pthread_t id;
  const int result = pthread_create(&id, &attributes, Run, thread);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    running_threads.fetch_sub(1, std::memory_order_acq_rel);
    delete thread;
    return nullptr;
  }
  return thread;
}

// The value is kept but not handed to the scheduler: ordinary Linux threads
// have only nice values, raising one needs privileges the plug-in does not
// have, and lowering one cannot be undone without them. The plug-in only uses
// priorities to favour its waiting threads, which spend their lives blocked.
bool SetThreadPriority(Thread *thread, int priority) {
  if (thread == nullptr || priority < kLowestPriority || priority > kHighestPriority) {
    return false;
  }
  thread->priority.store(priority, std::memory_order_relaxed);
  return true;
}

int GetThreadPriority(const Thread *thread) {
  return thread == nullptr ? 0 : thread->priority.load(std::memory_order_relaxed);
}

bool GetExitCodeThread(const Thread *thread, uint32_t *code) {
  if (thread == nullptr || code == nullptr) return false;
  *code = thread->exit_code.load(std::memory_order_acquire);
  return true;
}

void CloseThread(Thread *thread) {
  if (thread != nullptr) Release(thread);
}

uint32_t RunningThreads() { return running_threads.load(std::memory_order_acquire); }

}  // namespace grabline::os
