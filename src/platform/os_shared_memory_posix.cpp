// os_shared_memory_posix.cpp — named shared memory on POSIX shared memory objects.
//
// The section named N is the object "/N". Sections of the old platform vanish
// when their last handle and view are gone; POSIX objects stay until unlinked.
// So the process keeps one record per open name, counting its handles and
// views, and unlinks the object when both counts reach zero: after that a new
// open creates a fresh, zeroed section and nothing stays in /dev/shm.
// Limits of that emulation, none of which the plug-in meets: the count is per
// process, so a second process that still holds the section keeps its memory
// but loses the name; and a process that dies holding a section leaves the
// object behind, where the next opener finds it with its old contents.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "platform/os.hpp"

namespace grabline::os {

namespace {

// Far inside NAME_MAX, whatever the file system behind /dev/shm.
constexpr size_t kMaxNameLength = 200;

struct Section {
  std::string object_name;  // "/" + name
  int fd = -1;
  size_t size = 0;
  uint32_t handles = 0;
  uint32_t views = 0;
};

struct Books {
  std::mutex lock;
  std::map<std::string, Section, std::less<>> sections;  // by object name
  std::map<void *, Section *> views;                     // by address
};

// Never destroyed: a thread may still close a section while the process exits.
// Built in static storage rather than on the heap: the plug-in holding these
// books can be unloaded, and a heap record whose only pointer went with it
// would count as a leak.
Books &TheBooks() {
  alignas(Books) static unsigned char storage[sizeof(Books)];
  static Books *books = new (storage) Books;
  return *books;
}

bool IsValidName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameLength &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// With the books locked: drops the section once nothing of it is left.
void ForgetIfUnused(Books &books, Section &section) {
  if (section.handles > 0 || section.views > 0) return;
  close(section.fd);
  shm_unlink(section.object_name.c_str());
  books.sections.erase(books.sections.find(section.object_name));
}

// Opens the object `object_name`, creating it with `size` zeroed bytes when
// it does not exist. Returns the descriptor (-1 on failure) and the object's
// size.
int OpenObject(const std::string &object_name, size_t size, size_t *actual, bool *created) {
  // Another process may unlink the name between our two opens; try again a
  // few times rather than fail on that race.
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = shm_open(object_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      // A fresh object is empty; growing it fills it with zeros.
      if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(object_name.c_str());
        return -1;
      }
      *actual = size;
      *created = true;
      return fd;
    }
    if (errno != EEXIST) return -1;
    fd = shm_open(object_name.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == ENOENT) continue;
      return -1;
    }
    // Another process may have created the object and not yet sized it.
    struct stat status;
    for (int wait = 0; wait < 100; ++wait) {
      if (fstat(fd, &status) != 0) break;
      if (status.st_size > 0) {
        // An existing section smaller than asked for would fault the caller
        // when it touches the bytes it expects; refuse it instead.
        if (static_cast<uint64_t>(status.st_size) < size) break;
        *actual = static_cast<size_t>(status.st_size);
        *created = false;
        return fd;
      }
      Sleep(1);
    }
    close(fd);
    return -1;
  }
  return -1;
}

}  // namespace

struct SharedMemory {
  Section *section = nullptr;
};

SharedMemory *OpenSharedMemory(std::string_view name, size_t size, bool *created) {
  if (!IsValidName(name) || size == 0 || static_cast<uint64_t>(size) > INT64_MAX) return nullptr;
  auto *handle = new (std::nothrow) SharedMemory;
  if (handle == nullptr) return nullptr;
  std::string object_name = "/";
  object_name += name;

  Books &books = TheBooks();
  std::lock_guard<std::mutex> guard(books.lock);
  bool made = false;
  auto found = books.sections.find(object_name);
  if (found == books.sections.end()) {
    size_t actual = 0;
    const int fd = OpenObject(object_name, size, &actual, &made);
    if (fd < 0) {
      delete handle;
      return nullptr;
    }
    Section section;
    section.object_name = object_name;
    section.fd = fd;
    section.size = actual;
    found = books.sections.emplace(object_name, std::move(section)).first;
  } else if (found->second.size < size) {
    delete handle;
    return nullptr;
  }
  ++found->second.handles;
  handle->section = &found->second;
  if (created != nullptr) *created = made;
  return handle;
}

void *MapSharedMemory(SharedMemory *handle) {
  if (handle == nullptr) return nullptr;
  Books &books = TheBooks();
  std::lock_guard<std::mutex> guard(books.lock);
  Section &section = *handle->section;
  void *view = mmap(nullptr, section.size, PROT_READ | PROT_WRITE, MAP_SHARED, section.fd, 0);
  if (view == MAP_FAILED) return nullptr;
  books.views.emplace(view, &section);
  ++section.views;
  return view;
}

// The view is found by its address, so `handle` may already be closed and
// passed as null: the old platform let views outlive their handles.
void UnmapSharedMemory(SharedMemory *handle, void *view) {
  if (view == nullptr) return;
  Books &books = TheBooks();
  std::lock_guard<std::mutex> guard(books.lock);
  auto found = books.views.find(view);
  if (found == books.views.end()) return;
  Section &section = *found->second;
  if (handle != nullptr && handle->section != &section) return;
  munmap(view, section.size);
  books.views.erase(found);
  --section.views;
  ForgetIfUnused(books, section);
}

void CloseSharedMemory(SharedMemory *handle) {
  if (handle == nullptr) return;
  {
    Books &books = TheBooks();
    std::lock_guard<std::mutex> guard(books.lock);
    Section &section = *handle->section;
    --section.handles;
    ForgetIfUnused(books, section);
  }
  delete handle;
}

}  // namespace grabline::os
