// os_shared_memory_win32.cpp — named shared memory as the system's named file
// mappings backed by the paging file. The system counts the handles of every
// process: the section vanishes with the last of them, and a process that
// dies releases its own. A view alone would keep the memory but not the name,
// so each view holds a handle of its own until it is unmapped.
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "platform/os.hpp"
#include "platform/win32.hpp"

namespace grabline::os {

namespace {

constexpr size_t kMaxNameLength = 200;

bool IsValidName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameLength &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// The views this process mapped, with the section each came from and the
// handle that keeps its name, so that an unmap names a view of its own
// section and nothing else.
struct View {
  std::string section;
  HANDLE keeps_name = nullptr;
};
struct Views {
  std::mutex lock;
  std::map<void *, View> of;
};

// In static storage and never destroyed: the library holding it can be
// unloaded, and a thread may still unmap while the process exits.
Views &TheViews() {
  alignas(Views) static unsigned char storage[sizeof(Views)];
  static Views *views = new (storage) Views;
  return *views;
}

}  // namespace

struct SharedMemory {
  HANDLE mapping = nullptr;
  std::string name;
};

SharedMemory *OpenSharedMemory(std::string_view name, size_t size, bool *created) {
  if (!IsValidName(name) || size == 0) return nullptr;
  auto *handle = new (std::nothrow) SharedMemory;
  if (handle == nullptr) return nullptr;
  handle->name = std::string(name);
  const auto bytes = static_cast<uint64_t>(size);
  handle->mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                       static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes),
                                       handle->name.c_str());
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (handle->mapping == nullptr) {
    delete handle;
    return nullptr;
  }
  if (existed) {
    // An existing section keeps its size; one smaller than asked for would
    // fault the caller when it touches the bytes it expects.
    void *view = MapViewOfFile(handle->mapping, FILE_MAP_READ, 0, 0, 0);
    MEMORY_BASIC_INFORMATION region{};
    const bool large_enough = view != nullptr &&
                              VirtualQuery(view, &region, sizeof region) == sizeof region &&
                              region.RegionSize >= size;
    if (view != nullptr) UnmapViewOfFile(view);
    if (!large_enough) {
      CloseHandle(handle->mapping);
      delete handle;
      return nullptr;
    }
  }
  if (created != nullptr) *created = !existed;
  return handle;
}

void *MapSharedMemory(SharedMemory *handle) {
  if (handle == nullptr) return nullptr;
  HANDLE keeps_name = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle->mapping, GetCurrentProcess(), &keeps_name, 0,
                       FALSE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  void *view = MapViewOfFile(handle->mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (view == nullptr) {
    CloseHandle(keeps_name);
    return nullptr;
  }
  Views &views = TheViews();
  std::lock_guard<std::mutex> guard(views.lock);
  views.of[view] = View{handle->name, keeps_name};
  return view;
}

// The view is found by its address, so `handle` may already be closed and
// passed as null: views outlive their handles.
void UnmapSharedMemory(SharedMemory *handle, void *view) {
  if (view == nullptr) return;
  Views &views = TheViews();
  std::lock_guard<std::mutex> guard(views.lock);
  const auto found = views.of.find(view);
  if (found == views.of.end()) return;
  if (handle != nullptr && handle->name != found->second.section) return;
  UnmapViewOfFile(view);
  CloseHandle(found->second.keeps_name);
  views.of.erase(found);
}

void CloseSharedMemory(SharedMemory *handle) {
  if (handle == nullptr) return;
  CloseHandle(handle->mapping);
  delete handle;
}

}  // namespace grabline::os
