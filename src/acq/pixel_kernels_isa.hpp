// pixel_kernels_isa.hpp — what the per-instruction-set kernel files share:
// their tables, and the scalar steps they use for heads and tails.
#pragma once

#include <xmmintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "acq/pixel_kernels.hpp"

namespace grabline::kernels {

// Null when the file was built without the instruction set.
const KernelTable *Ssse3Table();
const KernelTable *Avx2Table();
const KernelTable *Avx512Table();

// Byte-shuffle masks of one 16-byte lane, shared by the SSSE3 and AVX2
// kernels (0x80 clears the byte).
using Mask = std::array<uint8_t, 16>;

// Channel `channel` of 3-element pixels of `size` bytes, from the `part`-th
// 16 bytes of a 48-byte group.
constexpr Mask ThreeWayMask(int size, int channel, int part) {
  Mask m{};
  for (int p = 0; p < 16; ++p) {
    const int element = p / size, byte = p % size;
    const int source = (3 * element + channel) * size + byte - 16 * part;
    m[p] = source >= 0 && source < 16 ? static_cast<uint8_t>(source) : 0x80;
  }
  return m;
}

// The inverse for 16-bit words: output register `part` of three 8-pixel
// channels interleaved, bytes taken from channel `channel`.
constexpr Mask InterleaveMask(int channel, int part) {
  Mask m{};
  for (int p = 0; p < 16; ++p) {
    const int word = 8 * part + p / 2;
    m[p] = word % 3 == channel ? static_cast<uint8_t>(2 * (word / 3) + p % 2) : 0x80;
  }
  return m;
}

// In each 16 bytes: the four bytes of channel k of four pixels together.
constexpr Mask GroupFourMask() {
  Mask m{};
  for (int p = 0; p < 16; ++p) m[p] = static_cast<uint8_t>(4 * (p % 4) + p / 4);
  return m;
}

namespace scalar {

// Bytes or 16-bit words alike.
template <typename T>
inline void Split3(uint64_t from, uint64_t to, const T *s, T *d0, T *d1, T *d2) {
  for (uint64_t i = from; i < to; ++i) {
    d0[i] = s[3 * i];
    d1[i] = s[3 * i + 1];
    d2[i] = s[3 * i + 2];
  }
}

inline void Split4x8(uint64_t from, uint64_t to, const uint8_t *s, uint8_t *d0, uint8_t *d1,
                     uint8_t *d2, uint8_t *d3) {
  for (uint64_t i = from; i < to; ++i) {
    d0[i] = s[4 * i];
    d1[i] = s[4 * i + 1];
    d2[i] = s[4 * i + 2];
    d3[i] = s[4 * i + 3];
  }
}

inline void Split30(uint64_t from, uint64_t to, const uint32_t *s, uint16_t *unpack, uint16_t *d0,
                    uint16_t *d1, uint16_t *d2) {
  for (uint64_t i = from; i < to; ++i) {
    const uint32_t w = s[i];
    const auto a = static_cast<uint16_t>(w & 0x3ff);
    const auto b = static_cast<uint16_t>((w >> 10) & 0x3ff);
    const auto c = static_cast<uint16_t>((w >> 20) & 0x3ff);
    d0[i] = a;
    d1[i] = b;
    d2[i] = c;
    if (unpack != nullptr) {
      unpack[3 * i] = a;
      unpack[3 * i + 1] = b;
      unpack[3 * i + 2] = c;
    }
  }
}

}  // namespace scalar

// Pixels to convert one by one before `d` reaches an `align`-byte boundary;
// `pixels` when it never can (an element not on its own size).
template <typename T>
uint64_t HeadPixels(const T *d, uint64_t pixels, uintptr_t align) {
  const auto address = reinterpret_cast<uintptr_t>(d);
  if (address % sizeof(T) != 0) return pixels;
  const uint64_t head = ((align - address % align) % align) / sizeof(T);
  return head < pixels ? head : pixels;
}

// A frame comes from memory the DMA engine wrote, not from the cache, and
// with several output streams in flight the hardware prefetcher alone leaves
// the core waiting on the source (a 12 MP four-way split from memory: 8.7
// GB/s without, 12 GB/s with). Asking for the lines a fixed distance ahead
// into L2 keeps enough reads outstanding. Only streaming conversions ask: a
// frame small enough for ordinary stores is likely still in the cache, where
// the requests only cost (about 5% at 1024x768). Requests never go past the
// source's end.
class SourcePrefetch {
 public:
  static constexpr uint64_t kDistance = 16384;
  SourcePrefetch(const void *src, uint64_t bytes, bool on)
      : end_(on ? reinterpret_cast<uintptr_t>(src) + bytes : 0) {}
  // The lines kDistance beyond the `bytes` a loop step reads from `at`.
  void Ahead(const void *at, uint64_t bytes) const {
    const uintptr_t from = reinterpret_cast<uintptr_t>(at) + kDistance;
    for (uint64_t k = 0; k < bytes; k += 64) {
      if (from + k < end_) _mm_prefetch(reinterpret_cast<const char *>(from + k), _MM_HINT_T1);
    }
  }

 private:
  uintptr_t end_;
};

// The copy of every table around its own loop of whole blocks: ordinary
// copies are memcpy's; a streamed one copies up to an `align` boundary and
// the tail with memcpy, hands the blocks between to `blocks` (non-temporal
// stores, one source prefetch a block) and fences.
using StreamBlocks = void (*)(const uint8_t *s, uint8_t *d, uint64_t count,
                              const SourcePrefetch &prefetch);

inline void StreamCopy(uint64_t bytes, const void *src, void *dst, bool stream, uintptr_t align,
                       uint64_t block, StreamBlocks blocks) {
  if (bytes == 0) return;
  if (!stream) {
    std::memcpy(dst, src, bytes);
    return;
  }
  auto *d = static_cast<uint8_t *>(dst);
  const auto *s = static_cast<const uint8_t *>(src);
  const uint64_t head = HeadPixels(d, bytes, align);
  std::memcpy(d, s, head);
  const uint64_t count = (bytes - head) / block;
  blocks(s + head, d + head, count, SourcePrefetch(s, bytes, true));
  const uint64_t done = head + count * block;
  std::memcpy(d + done, s + done, bytes - done);
  _mm_sfence();
}

template <typename T>
bool Aligned(const T *d, uintptr_t align) {
  return reinterpret_cast<uintptr_t>(d) % align == 0;
}

}  // namespace grabline::kernels
