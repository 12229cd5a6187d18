// SSSE3 kernels: byte shuffles over 16-byte vectors, for CPUs without AVX2.
#include <immintrin.h>

#include <array>
#include <cstring>

#include "acq/pixel_kernels_isa.hpp"

#define GRABLINE_SSSE3 __attribute__((target("ssse3")))

namespace grabline::kernels {
namespace {

constexpr uintptr_t kAlign = 16;

constexpr Mask kThreeWay[2][3][3] = {
    {{ThreeWayMask(1, 0, 0), ThreeWayMask(1, 0, 1), ThreeWayMask(1, 0, 2)},
     {ThreeWayMask(1, 1, 0), ThreeWayMask(1, 1, 1), ThreeWayMask(1, 1, 2)},
     {ThreeWayMask(1, 2, 0), ThreeWayMask(1, 2, 1), ThreeWayMask(1, 2, 2)}},
    {{ThreeWayMask(2, 0, 0), ThreeWayMask(2, 0, 1), ThreeWayMask(2, 0, 2)},
     {ThreeWayMask(2, 1, 0), ThreeWayMask(2, 1, 1), ThreeWayMask(2, 1, 2)},
     {ThreeWayMask(2, 2, 0), ThreeWayMask(2, 2, 1), ThreeWayMask(2, 2, 2)}}};

constexpr Mask kInterleave[3][3] = {
    {InterleaveMask(0, 0), InterleaveMask(1, 0), InterleaveMask(2, 0)},
    {InterleaveMask(0, 1), InterleaveMask(1, 1), InterleaveMask(2, 1)},
    {InterleaveMask(0, 2), InterleaveMask(1, 2), InterleaveMask(2, 2)}};

constexpr Mask kGroupFour = GroupFourMask();

GRABLINE_SSSE3 inline __m128i Load(const void *p) {
  return _mm_loadu_si128(static_cast<const __m128i *>(p));
}

GRABLINE_SSSE3 inline __m128i Load(const Mask &m) { return Load(m.data()); }

GRABLINE_SSSE3 inline void Store(void *p, __m128i v, bool stream) {
  if (stream) {
    _mm_stream_si128(static_cast<__m128i *>(p), v);
  } else {
    _mm_storeu_si128(static_cast<__m128i *>(p), v);
  }
}

GRABLINE_SSSE3 inline __m128i Pick3(__m128i a, __m128i b, __m128i c, const __m128i m[3]) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, m[0]), _mm_shuffle_epi8(b, m[1])),
                      _mm_shuffle_epi8(c, m[2]));
}

// 48 bytes of three-element pixels into three 16-byte channel vectors.
template <typename T>
GRABLINE_SSSE3 inline void SplitThree(uint64_t n, const T *s, T *d0, T *d1, T *d2, bool stream) {
  constexpr uint64_t kBlock = 16 / sizeof(T);
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split3(0, head, s, d0, d1, d2);
  T *d[3] = {d0, d1, d2};
  bool st[3];
  __m128i m[3][3];
  for (int k = 0; k < 3; ++k) {
    st[k] = stream && Aligned(d[k] + head, kAlign);
    for (int part = 0; part < 3; ++part) m[k][part] = Load(kThreeWay[sizeof(T) - 1][k][part]);
  }
  const SourcePrefetch prefetch(s, 3 * n * sizeof(T), stream);
  uint64_t i = head;
  for (; i + kBlock <= n; i += kBlock) {
    prefetch.Ahead(s + 3 * i, 48);
    const T *p = s + 3 * i;
    const __m128i a = Load(p), b = Load(p + kBlock), c = Load(p + 2 * kBlock);
    for (int k = 0; k < 3; ++k) Store(d[k] + i, Pick3(a, b, c, m[k]), st[k]);
  }
  scalar::Split3(i, n, s, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_SSSE3 void Split3x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                             bool stream) {
  SplitThree(n, s, d0, d1, d2, stream);
}

GRABLINE_SSSE3 void Split3x16(uint64_t n, const uint16_t *s, uint16_t *d0, uint16_t *d1,
                              uint16_t *d2, bool stream) {
  SplitThree(n, s, d0, d1, d2, stream);
}

GRABLINE_SSSE3 void Split4x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                             uint8_t *d3, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split4x8(0, head, s, d0, d1, d2, d3);
  uint8_t *d[4] = {d0, d1, d2, d3};
  bool st[4];
  for (int k = 0; k < 4; ++k) st[k] = stream && Aligned(d[k] + head, kAlign);
  const __m128i group = Load(kGroupFour);
  const SourcePrefetch prefetch(s, 4 * n, stream);
  uint64_t i = head;
  for (; i + 16 <= n; i += 16) {
    prefetch.Ahead(s + 4 * i, 64);
    // Each vector: four pixels as 32-bit groups [c0 | c1 | c2 | c3].
    __m128i r[4];
    for (int k = 0; k < 4; ++k) r[k] = _mm_shuffle_epi8(Load(s + 4 * i + 16 * k), group);
    const __m128i lo01 = _mm_unpacklo_epi32(r[0], r[1]), hi01 = _mm_unpackhi_epi32(r[0], r[1]);
    const __m128i lo23 = _mm_unpacklo_epi32(r[2], r[3]), hi23 = _mm_unpackhi_epi32(r[2], r[3]);
    Store(d0 + i, _mm_unpacklo_epi64(lo01, lo23), st[0]);
    Store(d1 + i, _mm_unpackhi_epi64(lo01, lo23), st[1]);
    Store(d2 + i, _mm_unpacklo_epi64(hi01, hi23), st[2]);
    Store(d3 + i, _mm_unpackhi_epi64(hi01, hi23), st[3]);
  }
  scalar::Split4x8(i, n, s, d0, d1, d2, d3);
  if (stream) _mm_sfence();
}

GRABLINE_SSSE3 void Split30(uint64_t n, const uint32_t *s, uint16_t *unpack, uint16_t *d0,
                            uint16_t *d1, uint16_t *d2, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split30(0, head, s, unpack, d0, d1, d2);
  uint16_t *d[3] = {d0, d1, d2};
  bool st[3];
  for (int k = 0; k < 3; ++k) st[k] = stream && Aligned(d[k] + head, kAlign);
  const bool su = stream && unpack != nullptr && Aligned(unpack + 3 * head, kAlign);
  const __m128i field = _mm_set1_epi32(0x3ff);
  __m128i inter[3][3];
  for (int part = 0; part < 3; ++part) {
    for (int k = 0; k < 3; ++k) inter[part][k] = Load(kInterleave[part][k]);
  }
  const SourcePrefetch prefetch(s, 4 * n, stream);
  uint64_t i = head;
  for (; i + 8 <= n; i += 8) {
    prefetch.Ahead(s + i, 32);
    const __m128i a = Load(s + i), b = Load(s + i + 4);
    __m128i c[3];
    for (int k = 0; k < 3; ++k) {
      const __m128i count = _mm_cvtsi32_si128(10 * k);
      // The fields fit 16 bits, so the signed pack never saturates.
      c[k] = _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(a, count), field),
                             _mm_and_si128(_mm_srl_epi32(b, count), field));
      Store(d[k] + i, c[k], st[k]);
    }
    if (unpack != nullptr) {
      for (int part = 0; part < 3; ++part) {
        Store(unpack + 3 * i + 8 * part, Pick3(c[0], c[1], c[2], inter[part]), su);
      }
    }
  }
  scalar::Split30(i, n, s, unpack, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_SSSE3 void CopyBlocks(const uint8_t *s, uint8_t *d, uint64_t count,
                               const SourcePrefetch &prefetch) {
  for (uint64_t b = 0; b < count; ++b, s += 64, d += 64) {
    prefetch.Ahead(s, 64);
    const __m128i v0 = Load(s), v1 = Load(s + 16), v2 = Load(s + 32), v3 = Load(s + 48);
    Store(d, v0, true);
    Store(d + 16, v1, true);
    Store(d + 32, v2, true);
    Store(d + 48, v3, true);
  }
}

void Copy(uint64_t bytes, const void *src, void *dst, bool stream) {
  StreamCopy(bytes, src, dst, stream, kAlign, 64, CopyBlocks);
}

constexpr KernelTable kSsse3{"ssse3", Split3x8, Split4x8, Split3x16, Split30, Copy};

}  // namespace

const KernelTable *Ssse3Table() { return &kSsse3; }

}  // namespace grabline::kernels
