// Host mutexes: recursive, reached by plug-ins through two global function
// pointers. A registry of live mutexes lets every call refuse a handle that was
// never initialised or is already destroyed instead of touching freed memory.
#include <mutex>
#include <thread>
#include <unordered_set>

#include "host_internal.hpp"

struct TpMutexImpl {
  std::recursive_mutex mutex;
  std::atomic<std::thread::id> owner{};
  int32_t depth = 0;    // only the owner touches it
  int32_t holders = 0;  // locks taken or being taken; guarded by the registry
  // The mutex in the call log: addresses come back after a destroy, serials do not.
  uint64_t serial = 0;  // set before the mutex is published
};

namespace tarvel {
namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_set<TpMutexImpl *> live;
  uint64_t serials = 0;
};

Registry &TheRegistry() {
  static Registry registry;
  return registry;
}

// Looks the handle up; with `hold`, announces a lock so that destroy refuses meanwhile.
TpMutexImpl *Find(TpMutex *handle, bool hold) {
  if (handle == nullptr) return nullptr;
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  TpMutexImpl *impl = *handle;
  if (impl == nullptr || registry.live.count(impl) == 0) return nullptr;
  if (hold) ++impl->holders;
  return impl;
}

// The serial of the live mutex behind the handle, 0 when there is none.
int64_t Serial(TpMutex *handle) {
  if (handle == nullptr) return 0;
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  TpMutexImpl *impl = *handle;
  if (impl == nullptr || registry.live.count(impl) == 0) return 0;
  return int64_t(impl->serial);
}

void Record(std::string_view name, int64_t serial, Terr result) {
  internal::RecordHostCall(name, {serial, 0, 0, 0}, nullptr, result);
}

Terr Lock(TpMutex *handle) {
  Terr result = T_MSG_OK;
  if (std::optional<Terr> injected = internal::MutexInjector().NextFails()) {
    result = *injected;
  } else if (TpMutexImpl *impl = Find(handle, true); impl == nullptr) {
    result = T_ERR_MUTEX;
  } else {
    impl->mutex.lock();
    impl->owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    ++impl->depth;
  }
  if (internal::RecordingHostCalls()) Record("TpThreadMutexLock", Serial(handle), result);
  return result;
}

// Whether the calling thread may unlock; the mutex when it may.
Terr CheckUnlock(TpMutex *handle, TpMutexImpl **impl) {
  if (std::optional<Terr> injected = internal::MutexInjector().NextFails()) return *injected;
  *impl = Find(handle, false);
  if (*impl == nullptr) return T_ERR_MUTEX;
  // Unlocking a mutex another thread holds would be undefined; refuse it.
  if ((*impl)->owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
    return T_ERR_MUTEX;
  }
  return T_MSG_OK;
}

Terr Unlock(TpMutex *handle) {
  TpMutexImpl *impl = nullptr;
  Terr result = CheckUnlock(handle, &impl);
  // Logged while still held, so no other thread's lock can appear before it.
  if (internal::RecordingHostCalls()) Record("TpThreadMutexUnlock", Serial(handle), result);
  if (result != T_MSG_OK) return result;
  if (--impl->depth == 0) impl->owner.store(std::thread::id(), std::memory_order_relaxed);
  impl->mutex.unlock();
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  --impl->holders;
  return T_MSG_OK;
}

Terr Init(TpMutex *handle) {
  if (std::optional<Terr> injected = internal::MutexInjector().NextFails()) return *injected;
  if (handle == nullptr) return T_ERR_MUTEX;
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  // Initialising a live mutex again would lose it (and whoever holds it).
  if (*handle != nullptr && registry.live.count(*handle) != 0) return T_ERR_MUTEX;
  auto *impl = new TpMutexImpl;
  impl->serial = ++registry.serials;
  registry.live.insert(impl);
  *handle = impl;
  return T_MSG_OK;
}

Terr Destroy(TpMutex *handle) {
  if (std::optional<Terr> injected = internal::MutexInjector().NextFails()) return *injected;
  if (handle == nullptr) return T_ERR_MUTEX;
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  TpMutexImpl *impl = *handle;
  if (impl == nullptr || registry.live.count(impl) == 0) return T_ERR_MUTEX;
  // Destroying a mutex that is held, or about to be, would pull it from under its holder.
  if (impl->holders != 0) return T_ERR_MUTEX;
  registry.live.erase(impl);
  delete impl;
  *handle = nullptr;
  return T_MSG_OK;
}

}  // namespace

size_t OutstandingMutexes() {
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.live.size();
}

}  // namespace tarvel

extern "C" {

Terr (*TpThreadMutexLock)(TpMutex *) = &tarvel::Lock;
Terr (*TpThreadMutexUnlock)(TpMutex *) = &tarvel::Unlock;

Terr TpThreadMutexInit(TpMutex *handle) {
  Terr result = tarvel::Init(handle);
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::Record("TpThreadMutexInit", tarvel::Serial(handle), result);
  }
  return result;
}

Terr TpThreadMutexDestroy(TpMutex *handle) {
  if (!tarvel::internal::RecordingHostCalls()) return tarvel::Destroy(handle);
  // Named first: once destroyed it has no serial left to look up.
  int64_t serial = tarvel::Serial(handle);
  Terr result = tarvel::Destroy(handle);
  tarvel::Record("TpThreadMutexDestroy", serial, result);
  return result;
}

}  // extern "C"
