// The host allocator and its books: every live allocation with its size and,
// for traced allocations, where it was made.
#include <cstdlib>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "host_internal.hpp"

namespace tarvel {
namespace {

// A size above this is refused with T_ERR_MEM: a size computed from garbage must
// fail as an allocation failure, not abort the process inside the sanitizers.
constexpr size_t kMaxAllocationBytes = size_t{1} << 32;
// Rejected frees are a fault log; a plug-in that keeps failing must not grow it without end.
constexpr size_t kMaxRejected = 4096;

struct Books {
  std::mutex mutex;
  std::unordered_map<void *, Allocation> live;
  size_t bytes = 0;
  std::deque<Allocation> rejected;
};

Books &TheBooks() {
  static Books books;
  return books;
}

Terr Allocate(size_t size, bool traced, const char *file, int32_t line, void **ptr) {
  if (internal::AllocationInjector().NextFails()) {
    if (ptr != nullptr) *ptr = nullptr;
    return T_ERR_MEM;
  }
  if (ptr == nullptr) return T_ERR_ARGUMENT;
  *ptr = nullptr;
  if (size > kMaxAllocationBytes) return T_ERR_MEM;
  // Zero bytes is a valid request; it still gets a pointer of its own.
  void *block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return T_ERR_MEM;
  Allocation entry;
  entry.bytes = size;
  entry.traced = traced;
  if (traced && file != nullptr) entry.file = file;
  entry.line = traced ? line : 0;
  Books &books = TheBooks();
  {
    std::lock_guard lock(books.mutex);
    books.live.emplace(block, std::move(entry));
    books.bytes += size;
  }
  *ptr = block;
  return T_MSG_OK;
}

Terr Free(void *ptr, bool traced, const char *file, int32_t line) {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  auto it = books.live.find(ptr);
  if (it == books.live.end()) {
    // Never hand an unknown pointer to free(): record it so a test can see the fault.
    Allocation entry;
    entry.traced = traced;
    if (traced && file != nullptr) entry.file = file;
    entry.line = traced ? line : 0;
    if (books.rejected.size() == kMaxRejected) books.rejected.pop_front();
    books.rejected.push_back(std::move(entry));
    return T_ERR_ARGUMENT;
  }
  books.bytes -= it->second.bytes;
  books.live.erase(it);
  std::free(ptr);
  return T_MSG_OK;
}

}  // namespace

size_t OutstandingAllocations() {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  return books.live.size();
}

size_t OutstandingBytes() {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  return books.bytes;
}

std::vector<Allocation> Outstanding() {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  std::vector<Allocation> out;
  out.reserve(books.live.size());
  for (const auto &[block, entry] : books.live) out.push_back(entry);
  return out;
}

std::vector<Allocation> RejectedFrees() {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  return {books.rejected.begin(), books.rejected.end()};
}

namespace internal {
void ClearRejectedFrees() {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  books.rejected.clear();
}
}  // namespace internal

}  // namespace tarvel

extern "C" {

Terr TXAlloc(Tproc_handle, size_t size, void **ptr) {
  return tarvel::Allocate(size, false, nullptr, 0, ptr);
}

Terr TXAllocMemCheck(Tproc_handle, size_t size, const char *file, int32_t line, int32_t,
                     void **ptr) {
  return tarvel::Allocate(size, true, file, line, ptr);
}

Terr TXFree(Tproc_handle, void *ptr) { return tarvel::Free(ptr, false, nullptr, 0); }

Terr TXFreeMemCheck(Tproc_handle, void *ptr, const char *file, int32_t line) {
  return tarvel::Free(ptr, true, file, line);
}

}  // extern "C"
