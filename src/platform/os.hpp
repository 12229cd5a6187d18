// os.hpp — the operating-system services the plug-in uses, behind one small
// interface: threads with priorities and exit codes, manual-reset events,
// counting semaphores, mutexes, sleeping, local time, registry values and
// named shared memory. One file per service and system (os_threads_posix.cpp,
// os_sync_posix.cpp, ...); each build compiles the files of its own system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace grabline::os {

// Exit code a thread reports while it still runs.
inline constexpr uint32_t kStillActive = 259;
// Wait without a time limit.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { kSignalled, kTimeout, kFailed };

// ---- threads ------------------------------------------------------------------
struct Thread;
using ThreadEntry = uint32_t (*)(void *arg);
// Starts `entry(arg)` on a new thread; null when the thread cannot be made.
Thread *CreateThread(ThreadEntry entry, void *arg);
inline constexpr int kPriorityIdle = -15;
inline constexpr int kPriorityNormal = 0;
inline constexpr int kPriorityTimeCritical = 15;
// Priority on the scale kPriorityIdle .. kPriorityTimeCritical, kept with the
// thread; false for a value off the scale. Not handed to the scheduler, which
// would need privileges to raise it.
bool SetThreadPriority(Thread *thread, int priority);
int GetThreadPriority(const Thread *thread);
// kStillActive while the thread runs, then its entry's result. False only for
// a null handle.
bool GetExitCodeThread(const Thread *thread, uint32_t *code);
// Releases the handle; a thread still running goes on and cleans up after
// itself when it ends.
void CloseThread(Thread *thread);
// Threads started through CreateThread that have not yet ended.
uint32_t RunningThreads();

// ---- events (manual reset) --------------------------------------------------------
struct Event;
Event *CreateEvent(bool initially_set);
void SetEvent(Event *event);
void ResetEvent(Event *event);
WaitResult WaitEvent(Event *event, uint32_t timeout_ms);
void CloseEvent(Event *event);

// ---- counting semaphores ------------------------------------------------------------
struct Semaphore;
// Null when `maximum` is 0 or above 2^31 - 1 (what the systems' own
// semaphores count to), or `initial` exceeds it.
Semaphore *CreateSemaphore(uint32_t initial, uint32_t maximum);
// False (count unchanged) for a count of 0 or when the release would pass the
// maximum.
bool ReleaseSemaphore(Semaphore *semaphore, uint32_t count);
WaitResult WaitSemaphore(Semaphore *semaphore, uint32_t timeout_ms);
void CloseSemaphore(Semaphore *semaphore);

// ---- mutexes (recursive, like the ones of the old platform) --------------------------
struct Mutex;
Mutex *CreateMutex();
WaitResult LockMutex(Mutex *mutex, uint32_t timeout_ms);
// False when the calling thread does not own the mutex.
bool UnlockMutex(Mutex *mutex);
void CloseMutex(Mutex *mutex);

// ---- time ----------------------------------------------------------------------------
// Sleep(0) gives the processor to another thread.
void Sleep(uint32_t ms);

struct LocalTime {
  uint16_t year;         // e.g. 2026
  uint8_t month;         // 1..12
  uint8_t day;           // 1..31
  uint16_t day_of_year;  // 1..366
  uint8_t hour;
  uint8_t minute;
  uint8_t second;
  uint16_t millisecond;
};
LocalTime GetLocalTime();
// The calendar fields of a point in time given as milliseconds since the Unix
// epoch, in the local time zone; all zero for a year outside 0..65535.
LocalTime LocalTimeAt(int64_t unix_ms);
// Milliseconds since the Unix epoch.
int64_t NowMs();

// ---- processor ----------------------------------------------------------------------
// Bytes of the last-level cache as the system reports it; 0 when it does not.
uint64_t LastLevelCacheBytes();

// ---- registry --------------------------------------------------------------------------
// Reads the string value `value` of registry key `key` (components separated
// by '\\') into `out` (NUL-terminated, at most size-1 characters). The
// registry is a directory tree rooted at $GRABLINE_REGISTRY: each key is a
// directory, each value a file holding the string (a final line end is not
// part of it). Returns false, leaving `out` untouched, when the key or value is
// missing, does not fit, or has an empty, ".", ".." or '/'-holding component.
bool ReadRegistryString(std::string_view key, std::string_view value, char *out, size_t size);

// ---- named shared memory ------------------------------------------------------------------
struct SharedMemory;
// Opens the named section, creating it with `size` zeroed bytes if it does not
// exist (`*created` tells which). Null on failure, for a size of 0, for an
// existing section smaller than `size` (Windows counts a section's size in
// whole pages), or for an invalid name (empty, longer than 200 characters,
// or holding '/').
SharedMemory *OpenSharedMemory(std::string_view name, size_t size, bool *created);
// Maps a view of the whole section; null on failure.
void *MapSharedMemory(SharedMemory *section);
// A view outlives the handle it was mapped through; `section` may then be null.
void UnmapSharedMemory(SharedMemory *section, void *view);
// Closes the handle; the section itself goes when its last handle and view in
// this process are gone.
void CloseSharedMemory(SharedMemory *section);

}  // namespace grabline::os
