// The scalar kernels, and the choice of table made once per process.
#include "acq/pixel_kernels.hpp"

#include <unistd.h>

#include <algorithm>
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

// A cache we cannot size is taken to be a small one: streaming a frame that
// would have fitted costs far less than evicting everything for one that
// does not.
constexpr uint64_t kUnknownCacheBytes = 8u << 20;
// Virtual machines report the whole host's cache; beyond this much, a frame
// is not going to stay in the part this process really gets.
constexpr uint64_t kLargestUsefulCacheBytes = 32u << 20;

uint64_t ComputeStreamThreshold() {
  const long llc = sysconf(_SC_LEVEL3_CACHE_SIZE);
  const uint64_t cache = llc > 0 ? static_cast<uint64_t>(llc) : kUnknownCacheBytes;
  return std::min(cache, kLargestUsefulCacheBytes) / 2;
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

const KernelTable &ActiveKernels() {
  // Thread-safe static initialisation: the first frame of any thread decides.
  static const KernelTable *const active = SupportedKernels().back();
  return *active;
}

uint64_t StreamThresholdBytes() {
  static const uint64_t threshold = ComputeStreamThreshold();
  return threshold;
}

bool ShouldStream(uint64_t src_bytes, uint64_t dst_bytes) {
  return src_bytes + dst_bytes > StreamThresholdBytes();
}

}  // namespace grabline::kernels
