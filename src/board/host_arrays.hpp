// host_arrays.hpp — per-buffer arrays and page-aligned frame buffers taken
// from the host's allocator, shared by the normal ring and the Quick Switch
// region rings.
#pragma once

#include <cstdint>
#include <cstring>

#include "board/ring_memory.hpp"
#include "plugin/host_call.hpp"

namespace grabline {

// The field is taken by reference: its value is read only once the
// allocation beside it in the argument list has filled it.
template <typename T>
Terr ZeroFill(Terr result, T *const &array, uint32_t n) {
  if (result == FG_OK) std::memset(static_cast<void *>(array), 0, uint64_t{n} * sizeof(T));
  return result;
}

// The first page boundary inside an allocation of kBufferAlignment extra bytes.
inline void *AlignedStart(void *allocation) {
  const auto address = reinterpret_cast<uintptr_t>(allocation);
  return reinterpret_cast<void *>((address + kBufferAlignment) & ~(kBufferAlignment - 1));
}

}  // namespace grabline

// Allocates a zero-filled per-buffer array of n entries into `field`; the
// host is shown the array as `name` and the count as `n_text`.
#define ALLOC_ARRAY(proc, field, n, name, n_text)                                              \
  ::grabline::ZeroFill(HOST_ALLOC(proc, uint64_t{n} * sizeof *(field), &(field),               \
                                  "uint64_t{" n_text "} * sizeof *(" name ")", "&(" name ")"), \
                       (field), (n))

// Frees an array when present and clears the field; a failing free returns
// its result from the calling function. The host is shown the array as `name`.
#define FREE_ARRAY(proc, field, name)                            \
  do {                                                           \
    if ((field) != nullptr) {                                    \
      const Terr freed = HOST_FREE(proc, (field), "(" name ")"); \
      (field) = nullptr;                                         \
      if (freed != FG_OK) return freed;                          \
    }                                                            \
  } while (0)
