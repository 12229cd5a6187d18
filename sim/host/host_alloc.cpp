// The host allocator and its books: every live allocation with its size and,
// for traced allocations, where it was made; refused frees and filled failures.
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
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

// Puts a new block on the books. Plain injected failures hand out nothing; an injected
// filled failure hands out the block, keeps it on the books and answers with its code.
Terr Allocate(size_t size, bool traced, const char *file, int32_t line, void **ptr) {
  std::optional<Terr> fail = internal::AllocationInjector().NextFails();
  // Counted on every call, so its nth means the same calls as the plain one's.
  std::optional<Terr> filled = internal::FilledAllocationInjector().NextFails();
  if (fail) {
    if (ptr != nullptr) *ptr = nullptr;
    return *fail;
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
  return filled.value_or(T_MSG_OK);
}

// Takes a block off the books and answers whether the caller may free it. The caller
// frees it only after logging the call: a block freed first could be handed out again
// and its new allocation logged ahead of the free that released it.
Terr TakeOffBooks(void *ptr, bool traced, const char *file, int32_t line,
                  std::optional<Terr> refusal, bool *taken) {
  *taken = false;
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
    return refusal.value_or(T_ERR_ARGUMENT);
  }
  // A host that refuses a free keeps the block: it stays outstanding, and the plug-in
  // has to cope with memory it can no longer give back.
  if (refusal) {
    it->second.free_refused = true;
    return *refusal;
  }
  books.bytes -= it->second.bytes;
  books.live.erase(it);
  *taken = true;
  return T_MSG_OK;
}

Terr Free(std::string_view name, void *ptr, bool traced, const char *file, int32_t line) {
  std::optional<Terr> refusal = internal::FreeInjector().NextFails();
  bool taken = false;
  Terr result = TakeOffBooks(ptr, traced, file, line, refusal, &taken);
  if (internal::RecordingHostCalls()) {
    internal::RecordHostCall(name, {internal::Address(ptr), traced ? line : 0, 0, 0},
                             traced ? file : nullptr, result);
  }
  if (taken) std::free(ptr);
  return result;
}

void RecordAllocation(std::string_view name, size_t size, const char *file, int32_t line,
                      int32_t id, void **ptr, Terr result) {
  void *block = ptr != nullptr ? *ptr : nullptr;
  internal::RecordHostCall(name, {int64_t(size), internal::Address(block), line, id}, file, result);
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

void ReleaseRefusedFrees() {
  Books &books = TheBooks();
  std::lock_guard lock(books.mutex);
  for (auto it = books.live.begin(); it != books.live.end();) {
    if (!it->second.free_refused) {
      ++it;
      continue;
    }
    books.bytes -= it->second.bytes;
    std::free(it->first);
    it = books.live.erase(it);
  }
}

Terr HostAllocate(size_t size, void **ptr) { return Allocate(size, false, nullptr, 0, ptr); }

Terr HostFree(void *ptr) {
  bool taken = false;
  Terr result = TakeOffBooks(ptr, false, nullptr, 0, std::nullopt, &taken);
  if (taken) std::free(ptr);
  return result;
}
}  // namespace internal

}  // namespace tarvel

extern "C" {

Terr TXAlloc(Tproc_handle, size_t size, void **ptr) {
  Terr result = tarvel::Allocate(size, false, nullptr, 0, ptr);
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::RecordAllocation("TXAlloc", size, nullptr, 0, 0, ptr, result);
  }
  return result;
}

Terr TXAllocMemCheck(Tproc_handle, size_t size, const char *file, int32_t line, int32_t id,
                     void **ptr) {
  Terr result = tarvel::Allocate(size, true, file, line, ptr);
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::RecordAllocation("TXAllocMemCheck", size, file, line, id, ptr, result);
  }
  return result;
}

Terr TXFree(Tproc_handle, void *ptr) { return tarvel::Free("TXFree", ptr, false, nullptr, 0); }

Terr TXFreeMemCheck(Tproc_handle, void *ptr, const char *file, int32_t line) {
  return tarvel::Free("TXFreeMemCheck", ptr, true, file, line);
}

}  // extern "C"
