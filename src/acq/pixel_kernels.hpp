// pixel_kernels.hpp — the vector kernels behind pixel_convert, one table per
// instruction set.
//
// Every kernel produces exactly what the scalar table produces, for every
// count and every alignment; the scalar table is the fallback and the oracle
// of the tests. `stream` asks for non-temporal stores: a kernel honours it
// only where its destinations allow (aligned after a short scalar head) and
// then fences before it returns, so the image may be handed out at once.
// Sources are never read past their last pixel.
#pragma once

#include <cstdint>
#include <vector>

namespace grabline::kernels {

struct KernelTable {
  const char *name;
  // d_k[i] = src[3i + k]
  void (*split3x8)(uint64_t pixels, const uint8_t *src, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                   bool stream);
  // d_k[i] = src[4i + k]
  void (*split4x8)(uint64_t pixels, const uint8_t *src, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                   uint8_t *d3, bool stream);
  // d_k[i] = src[3i + k], 16-bit words
  void (*split3x16)(uint64_t pixels, const uint16_t *src, uint16_t *d0, uint16_t *d1, uint16_t *d2,
                    bool stream);
  // d_k[i] = (src[i] >> 10k) & 0x3ff; unpack (may be null) [3i + k] the same.
  void (*split30)(uint64_t pixels, const uint32_t *src, uint16_t *unpack, uint16_t *d0,
                  uint16_t *d1, uint16_t *d2, bool stream);
  void (*copy)(uint64_t bytes, const void *src, void *dst, bool stream);
};

const KernelTable &ScalarKernels();
// The tables of the instruction sets this CPU has, the scalar one first.
std::vector<const KernelTable *> SupportedKernels();
// Which of them converts a frame is measured: kernel_dispatch.hpp.

}  // namespace grabline::kernels
