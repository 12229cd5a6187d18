// os_threads_posix.cpp — threads with exit codes and priorities, on pthreads.
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <new>

#include "platform/os.hpp"
#include "platform/sched_attr.hpp"

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
  // The kernel's id of the running thread, 0 before it starts and once it
  // ends; the scheduler is only told about a thread while it is set, so an
  // id the system has reused is never touched.
  std::mutex scheduling;
  pid_t tid = 0;
};

namespace {

std::atomic<uint32_t> running_threads{0};

void Release(Thread *thread) {
  if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete thread;
}

constexpr uint64_t kPromptSliceNs = 100'000;
constexpr uint64_t kResetOnFork = 1;

bool TimeCritical(int priority) { return priority >= kPriorityTimeCritical; }

// A time-critical thread asks for a short scheduler slice. That needs no
// privilege and leaves its share of the processor as it is, but on a busy
// machine its wake-ups are served within a slice of 0.1 ms instead of the
// default, which is what a frame worker that must keep up with the board
// needs. Kernels without slices of their own per thread ignore the value;
// refusals change nothing, so they are not reported.
void TellScheduler(pid_t tid, int priority) {
#if defined(SYS_sched_getattr) && defined(SYS_sched_setattr)
  SchedAttr attr{};
  if (syscall(SYS_sched_getattr, tid, &attr, sizeof attr, 0) != 0) return;
  if (attr.policy != SCHED_OTHER && attr.policy != SCHED_BATCH) return;
  attr.size = sizeof attr;
  attr.flags &= kResetOnFork;  // the only flag of the first version to keep
  attr.runtime = TimeCritical(priority) ? kPromptSliceNs : 0;  // 0: the default slice
  syscall(SYS_sched_setattr, tid, &attr, 0);
#else
  (void)tid;
  (void)priority;
#endif
}

void *Run(void *raw) {
  auto *thread = static_cast<Thread *>(raw);
  {
    std::lock_guard lock(thread->scheduling);
    thread->tid = gettid();
    const int priority = thread->priority.load(std::memory_order_relaxed);
    if (TimeCritical(priority)) TellScheduler(thread->tid, priority);
  }
  const uint32_t code = thread->entry(thread->arg);
  {
    std::lock_guard lock(thread->scheduling);
    thread->tid = 0;
  }
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

// The value is kept, and not turned into a nice value: raising one needs
// privileges the plug-in does not have, and lowering one cannot be undone
// without them. Only "time critical" reaches the scheduler, as a short slice
// (TellScheduler); the plug-in uses it for the threads that follow the board.
bool SetThreadPriority(Thread *thread, int priority) {
  if (thread == nullptr || priority < kPriorityIdle || priority > kPriorityTimeCritical) {
    return false;
  }
  std::lock_guard lock(thread->scheduling);
  const int before = thread->priority.exchange(priority, std::memory_order_relaxed);
  if (thread->tid != 0 && TimeCritical(before) != TimeCritical(priority)) {
    TellScheduler(thread->tid, priority);
  }
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
