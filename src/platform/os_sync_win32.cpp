// os_sync_win32.cpp — manual-reset events, counting semaphores, recursive
// mutexes and sleeping, as the system's own objects. Their waits run on the
// system's tick, which setting the wall clock does not move.
#include <new>

#include "platform/os.hpp"
#include "platform/win32.hpp"

namespace grabline::os {

namespace {

WaitResult Wait(HANDLE handle, uint32_t timeout_ms) {
  switch (WaitForSingleObject(handle, timeout_ms == kInfinite ? INFINITE : timeout_ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // a mutex whose owner ended: it is ours now
      return WaitResult::kSignalled;
    case WAIT_TIMEOUT:
      return WaitResult::kTimeout;
    default:
      return WaitResult::kFailed;
  }
}

template <typename T>
T *Wrap(HANDLE handle) {
  if (handle == nullptr) return nullptr;
  T *object = new (std::nothrow) T{handle};
  if (object == nullptr) CloseHandle(handle);
  return object;
}

template <typename T>
void Close(T *object) {
  if (object == nullptr) return;
  CloseHandle(object->handle);
  delete object;
}

}  // namespace

// ---- events ----------------------------------------------------------------------

struct Event {
  HANDLE handle;
};

Event *CreateEvent(bool initially_set) {
  return Wrap<Event>(CreateEventA(nullptr, TRUE, initially_set ? TRUE : FALSE, nullptr));
}

void SetEvent(Event *event) {
  if (event != nullptr) ::SetEvent(event->handle);
}

void ResetEvent(Event *event) {
  if (event != nullptr) ::ResetEvent(event->handle);
}

WaitResult WaitEvent(Event *event, uint32_t timeout_ms) {
  return event == nullptr ? WaitResult::kFailed : Wait(event->handle, timeout_ms);
}

void CloseEvent(Event *event) { Close(event); }

// ---- semaphores ------------------------------------------------------------------

struct Semaphore {
  HANDLE handle;
};

Semaphore *CreateSemaphore(uint32_t initial, uint32_t maximum) {
  if (maximum == 0 || initial > maximum || maximum > static_cast<uint32_t>(MAXLONG)) {
    return nullptr;
  }
  return Wrap<Semaphore>(
      CreateSemaphoreA(nullptr, static_cast<LONG>(initial), static_cast<LONG>(maximum), nullptr));
}

bool ReleaseSemaphore(Semaphore *semaphore, uint32_t count) {
  if (semaphore == nullptr || count == 0 || count > static_cast<uint32_t>(MAXLONG)) return false;
  return ::ReleaseSemaphore(semaphore->handle, static_cast<LONG>(count), nullptr) != 0;
}

WaitResult WaitSemaphore(Semaphore *semaphore, uint32_t timeout_ms) {
  return semaphore == nullptr ? WaitResult::kFailed : Wait(semaphore->handle, timeout_ms);
}

void CloseSemaphore(Semaphore *semaphore) { Close(semaphore); }

// ---- mutexes -----------------------------------------------------------------------

struct Mutex {
  HANDLE handle;
};

Mutex *CreateMutex() { return Wrap<Mutex>(CreateMutexA(nullptr, FALSE, nullptr)); }

WaitResult LockMutex(Mutex *mutex, uint32_t timeout_ms) {
  return mutex == nullptr ? WaitResult::kFailed : Wait(mutex->handle, timeout_ms);
}

bool UnlockMutex(Mutex *mutex) { return mutex != nullptr && ReleaseMutex(mutex->handle) != 0; }

void CloseMutex(Mutex *mutex) { Close(mutex); }

// ---- sleeping ----------------------------------------------------------------------

void Sleep(uint32_t ms) { ::Sleep(ms); }

}  // namespace grabline::os
