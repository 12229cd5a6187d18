// os_sync_posix.cpp — manual-reset events, counting semaphores, recursive mutexes
// and sleeping. All three objects are a pthread mutex and a condition
// variable around a little state; time-outs run on the monotonic clock so that
// setting the wall clock neither shortens nor stretches a wait.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <new>

#include "platform/os.hpp"

namespace grabline::os {

namespace {

timespec MonotonicAfter(uint32_t ms) {
  timespec at;
  clock_gettime(CLOCK_MONOTONIC, &at);
  at.tv_sec += static_cast<time_t>(ms / 1000);
  at.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (at.tv_nsec >= 1000000000L) {
    at.tv_sec += 1;
    at.tv_nsec -= 1000000000L;
  }
  return at;
}

// A mutex with one condition variable on the monotonic clock.
class Monitor {
 public:
  Monitor() = default;
  Monitor(const Monitor &) = delete;
  Monitor &operator=(const Monitor &) = delete;
  ~Monitor() {
    if (ready_) {
      pthread_cond_destroy(&cond_);
      pthread_mutex_destroy(&mutex_);
    }
  }

  bool Init() {
    pthread_condattr_t attributes;
    if (pthread_condattr_init(&attributes) != 0) return false;
    bool ok = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC) == 0 &&
              pthread_cond_init(&cond_, &attributes) == 0;
    pthread_condattr_destroy(&attributes);
    if (!ok) return false;
    if (pthread_mutex_init(&mutex_, nullptr) != 0) {
      pthread_cond_destroy(&cond_);
      return false;
    }
    ready_ = true;
    return true;
  }

  void Lock() { pthread_mutex_lock(&mutex_); }
  void Unlock() { pthread_mutex_unlock(&mutex_); }
  void WakeAll() { pthread_cond_broadcast(&cond_); }
  void WakeOne() { pthread_cond_signal(&cond_); }

  // With the lock held: waits until `done()` holds or `timeout_ms` has passed
  // and returns `done()`.
  template <typename Done>
  bool WaitFor(uint32_t timeout_ms, Done done) {
    if (done()) return true;
    if (timeout_ms == 0) return false;
    if (timeout_ms == kInfinite) {
      while (!done()) pthread_cond_wait(&cond_, &mutex_);
      return true;
    }
    const timespec deadline = MonotonicAfter(timeout_ms);
    while (!done()) {
      if (pthread_cond_timedwait(&cond_, &mutex_, &deadline) == ETIMEDOUT) return done();
    }
    return true;
  }

 private:
  pthread_mutex_t mutex_;
  pthread_cond_t cond_;
  bool ready_ = false;
};

// Scoped hold of a monitor's lock.
class Hold {
 public:
  explicit Hold(Monitor &monitor) : monitor_(monitor) { monitor_.Lock(); }
  Hold(const Hold &) = delete;
  Hold &operator=(const Hold &) = delete;
  ~Hold() { monitor_.Unlock(); }

 private:
  Monitor &monitor_;
};

template <typename T>
T *Make() {
  T *object = new (std::nothrow) T;
  if (object != nullptr && !object->monitor.Init()) {
    delete object;
    return nullptr;
  }
  return object;
}

}  // namespace

// ---- events ----------------------------------------------------------------------

struct Event {
  Monitor monitor;
  bool set = false;
};

Event *CreateEvent(bool initially_set) {
  Event *event = Make<Event>();
  if (event != nullptr) event->set = initially_set;
  return event;
}

void SetEvent(Event *event) {
  if (event == nullptr) return;
  Hold hold(event->monitor);
  event->set = true;
  event->monitor.WakeAll();
}

void ResetEvent(Event *event) {
  if (event == nullptr) return;
  Hold hold(event->monitor);
  event->set = false;
}

WaitResult WaitEvent(Event *event, uint32_t timeout_ms) {
  if (event == nullptr) return WaitResult::kFailed;
  Hold hold(event->monitor);
  return event->monitor.WaitFor(timeout_ms, [event] { return event->set; }) ? WaitResult::kSignalled
                                                                            : WaitResult::kTimeout;
}

void CloseEvent(Event *event) { delete event; }

// ---- semaphores ------------------------------------------------------------------

constexpr uint32_t kMaxSemaphoreCount = 0x7FFFFFFFu;

struct Semaphore {
  Monitor monitor;
  uint32_t count = 0;
  uint32_t maximum = 0;
};

Semaphore *CreateSemaphore(uint32_t initial, uint32_t maximum) {
  if (maximum == 0 || initial > maximum || maximum > kMaxSemaphoreCount) return nullptr;
  Semaphore *semaphore = Make<Semaphore>();
  if (semaphore != nullptr) {
    semaphore->count = initial;
    semaphore->maximum = maximum;
  }
  return semaphore;
}

bool ReleaseSemaphore(Semaphore *semaphore, uint32_t count) {
  if (semaphore == nullptr || count == 0) return false;
  Hold hold(semaphore->monitor);
  // Compared as a difference so that no sum can wrap past the maximum.
  if (count > semaphore->maximum - semaphore->count) return false;
  semaphore->count += count;
  if (count == 1) {
    semaphore->monitor.WakeOne();
  } else {
    semaphore->monitor.WakeAll();
  }
  return true;
}

WaitResult WaitSemaphore(Semaphore *semaphore, uint32_t timeout_ms) {
  if (semaphore == nullptr) return WaitResult::kFailed;
  Hold hold(semaphore->monitor);
  if (!semaphore->monitor.WaitFor(timeout_ms, [semaphore] { return semaphore->count > 0; })) {
    return WaitResult::kTimeout;
  }
  --semaphore->count;
  return WaitResult::kSignalled;
}

void CloseSemaphore(Semaphore *semaphore) { delete semaphore; }

// ---- mutexes -----------------------------------------------------------------------
// Kept by hand rather than as a recursive pthread mutex, whose timed lock runs
// on the wall clock.

struct Mutex {
  Monitor monitor;
  pthread_t owner{};
  uint32_t depth = 0;  // 0: not owned
};

Mutex *CreateMutex() { return Make<Mutex>(); }

WaitResult LockMutex(Mutex *mutex, uint32_t timeout_ms) {
  if (mutex == nullptr) return WaitResult::kFailed;
  const pthread_t self = pthread_self();
  Hold hold(mutex->monitor);
  if (mutex->depth > 0 && pthread_equal(mutex->owner, self)) {
    if (mutex->depth == UINT32_MAX) return WaitResult::kFailed;
    ++mutex->depth;
    return WaitResult::kSignalled;
  }
  if (!mutex->monitor.WaitFor(timeout_ms, [mutex] { return mutex->depth == 0; })) {
    return WaitResult::kTimeout;
  }
  mutex->owner = self;
  mutex->depth = 1;
  return WaitResult::kSignalled;
}

// Only the owner may unlock, as on the old platform.
bool UnlockMutex(Mutex *mutex) {
  if (mutex == nullptr) return false;
  Hold hold(mutex->monitor);
  if (mutex->depth == 0 || !pthread_equal(mutex->owner, pthread_self())) return false;
  if (--mutex->depth == 0) mutex->monitor.WakeOne();
  return true;
}

void CloseMutex(Mutex *mutex) { delete mutex; }

// ---- sleeping ----------------------------------------------------------------------

void Sleep(uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  // An absolute deadline survives interruptions by signals without drifting.
  const timespec deadline = MonotonicAfter(ms);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace grabline::os
