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
};

namespace tarvel {
namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_set<TpMutexImpl *> live;
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

Terr Lock(TpMutex *handle) {
  if (std::optional<Terr> injected = internal::MutexInjector().NextFails()) {
    return *injected;
  }
  TpMutexImpl *impl = Find(handle, true);
  if (impl == nullptr) return T_ERR_MUTEX;
  impl->mutex.lock();
  impl->owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
  ++impl->depth;
  return T_MSG_OK;
}

Terr Unlock(TpMutex *handle) {
  if (std::optional<Terr> injected = internal::MutexInjector().NextFails()) {
    return *injected;
  }
  TpMutexImpl *impl = Find(handle, false);
  if (impl == nullptr) return T_ERR_MUTEX;
  // Unlocking a mutex another thread holds would be undefined; refuse it.
  if (impl->owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
    return T_ERR_MUTEX;
  }
  if (--impl->depth == 0) impl->owner.store(std::thread::id(), std::memory_order_relaxed);
  impl->mutex.unlock();
  Registry &registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  --impl->holders;
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
  if (std::optional<Terr> injected = tarvel::internal::MutexInjector().NextFails()) {
    return *injected;
  }
  if (handle == nullptr) return T_ERR_MUTEX;
  tarvel::Registry &registry = tarvel::TheRegistry();
  std::lock_guard lock(registry.mutex);
  // Initialising a live mutex again would lose it (and whoever holds it).
  if (*handle != nullptr && registry.live.count(*handle) != 0) return T_ERR_MUTEX;
  auto *impl = new TpMutexImpl;
  registry.live.insert(impl);
  *handle = impl;
  return T_MSG_OK;
}

Terr TpThreadMutexDestroy(TpMutex *handle) {
  if (std::optional<Terr> injected = tarvel::internal::MutexInjector().NextFails()) {
    return *injected;
  }
  if (handle == nullptr) return T_ERR_MUTEX;
  tarvel::Registry &registry = tarvel::TheRegistry();
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

}  // extern "C"
