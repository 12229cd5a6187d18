// host_internal.hpp — what the host's own files share and nobody outside sees:
// fault injection counters, the image books' release hook and the conversion
// between application values and parameter records.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tarvel.h"
#include "tarvel_host.hpp"

namespace tarvel::internal {

// Counts calls of one kind and fails the nth one from the moment it was armed, once.
class Injector {
 public:
  // Counts the call; true when this call is the one to fail.
  bool NextFails();
  void Arm(uint32_t nth) { countdown_.store(nth, std::memory_order_relaxed); }
  uint64_t calls() const { return calls_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> countdown_{0};
  std::atomic<uint64_t> calls_{0};
};

Injector &AllocationInjector();
Injector &ImageInjector();
Injector &MutexInjector();

// Part of ClearLogs, kept with the allocator's books.
void ClearRejectedFrees();

// Releases the pixels of a host-owned image and takes it off the books. Pixels the
// books do not know are left alone.
void ReleaseImagePixels(void *pixels);

// Parameter records the plug-in reads during one call, with the texts they point to.
struct ParamRecords {
  std::vector<Tcpar> records;
  std::vector<std::string> texts;
};
void ToRecords(const std::vector<Value> &values, ParamRecords *out);
// False when a record carries an unknown tag.
bool FromRecords(const Tcpar *records, int32_t num, std::vector<Value> *out);

}  // namespace tarvel::internal

namespace tarvel::internal {

// A class-record slot the plug-in never wrote still holds the host's fill byte; calling
// through it (or through null) would jump into garbage.
inline constexpr uint8_t kUnwrittenByte = 0xA5;
inline constexpr uintptr_t kUnwrittenWord = 0xA5A5A5A5A5A5A5A5u;

template <typename Pointer>
bool Written(Pointer pointer) {
  static_assert(sizeof(Pointer) == sizeof(uintptr_t));
  uintptr_t bits = 0;
  std::memcpy(&bits, &pointer, sizeof(bits));
  return bits != 0 && bits != kUnwrittenWord;
}

}  // namespace tarvel::internal
