// The scalar kernels, and the tables this CPU can run.
#include "acq/pixel_kernels.hpp"

#include <cstring>

#include "acq/pixel_kernels_isa.hpp"

namespace grabline::kernels {
namespace {

void Split3x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2, bool) {
  scalar::Split3(0, n, s, d0, d1, d2);
}

void Split4x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2, uint8_t *d3,
              bool) {
  scalar::Split4x8(0, n, s, d0, d1, d2, d3);
}

void Split3x16(uint64_t n, const uint16_t *s, uint16_t *d0, uint16_t *d1, uint16_t *d2, bool) {
  scalar::Split3(0, n, s, d0, d1, d2);
}

void Split30(uint64_t n, const uint32_t *s, uint16_t *unpack, uint16_t *d0, uint16_t *d1,
             uint16_t *d2, bool) {
  scalar::Split30(0, n, s, unpack, d0, d1, d2);
}

void Copy(uint64_t bytes, const void *src, void *dst, bool) {
  if (bytes != 0) std::memcpy(dst, src, bytes);
}

constexpr KernelTable kScalar{"scalar", Split3x8, Split4x8, Split3x16, Split30, Copy};

// __builtin_cpu_supports also checks that the system saves the wide
// registers, so a table is only offered where its code can run.
bool HasSsse3() { return __builtin_cpu_supports("ssse3"); }
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
bool HasAvx512() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
}

}  // namespace

const KernelTable &ScalarKernels() { return kScalar; }

std::vector<const KernelTable *> SupportedKernels() {
  std::vector<const KernelTable *> tables{&kScalar};
  if (HasSsse3() && Ssse3Table() != nullptr) tables.push_back(Ssse3Table());
  if (HasAvx2() && Avx2Table() != nullptr) tables.push_back(Avx2Table());
  if (HasAvx512() && Avx512Table() != nullptr) tables.push_back(Avx512Table());
  return tables;
}

}  // namespace grabline::kernels
