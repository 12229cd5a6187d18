// host_internal.hpp — what the host's own files share and nobody outside sees:
// fault injection counters, the host's own use of its allocator, the call log's
// entry point, the image books' release hook and the conversion between
// application values and parameter records.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvel.h"
#include "tarvel_host.hpp"

namespace tarvel::internal {

// Counts calls of one kind and fails the nth one from the moment it was armed, once,
// with the code it was armed with.
class Injector {
 public:
  // Counts the call; the code to answer it with when this call is the one to fail.
  std::optional<Terr> NextFails();
  void Arm(uint32_t nth, Terr code) {
    armed_.store(uint64_t(uint32_t(code)) << 32 | nth, std::memory_order_relaxed);
  }
  uint64_t calls() const { return calls_.load(std::memory_order_relaxed); }

 private:
  // Countdown in the low half, code in the high half: one word, so the call that takes
  // the countdown to its end reads the code of the same arming even while it is re-armed.
  std::atomic<uint64_t> armed_{0};
  std::atomic<uint64_t> calls_{0};
};

Injector &AllocationInjector();
// Allocations that hand out memory and still answer with a code.
Injector &FilledAllocationInjector();
Injector &FreeInjector();
Injector &ImageInjector();
Injector &MutexInjector();

// Parts of ClearLogs, kept with the allocator's books and with the call log.
void ClearRejectedFrees();
void ClearHostCalls();
// Part of ClearInjections: blocks whose free was refused are released, so a test that
// let a plug-in forget them leaves nothing behind.
void ReleaseRefusedFrees();

// The allocator as the host uses it inside its own calls (the class defaults) and on
// the application's side: not in the call log, and a free is never refused. Injected
// allocation failures do apply: the host runs out of memory like anyone else.
Terr HostAllocate(size_t size, void **ptr);
Terr HostFree(void *ptr);

// The call log. A host call checks RecordingHostCalls() (one relaxed load) before it
// builds an entry.
extern std::atomic<bool> recording_host_calls;
inline bool RecordingHostCalls() { return recording_host_calls.load(std::memory_order_relaxed); }
void RecordHostCall(std::string_view name, std::array<int64_t, 4> fields, const char *text,
                    Terr result);
inline int64_t Address(const void *pointer) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

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
