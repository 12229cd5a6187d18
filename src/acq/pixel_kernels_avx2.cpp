// AVX2 kernels: byte shuffles within 128-bit lanes, the lanes loaded so that
// each holds whole pixels, then stored 32 bytes at a time.
#include <immintrin.h>

#include <array>
#include <cstring>

#include "acq/pixel_kernels_isa.hpp"

#define GRABLINE_AVX2 __attribute__((target("avx2")))

namespace grabline::kernels {
namespace {

constexpr uintptr_t kAlign = 32;

GRABLINE_AVX2 inline __m256i Broadcast(const Mask &m) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(m.data())));
}

GRABLINE_AVX2 inline __m256i LoadLanes(const uint8_t *low, const uint8_t *high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(low))),
      _mm_loadu_si128(reinterpret_cast<const __m128i *>(high)), 1);
}

GRABLINE_AVX2 inline __m256i Load(const void *p) {
  return _mm256_loadu_si256(static_cast<const __m256i *>(p));
}

GRABLINE_AVX2 inline void Store(void *p, __m256i v, bool stream) {
  if (stream) {
    _mm256_stream_si256(static_cast<__m256i *>(p), v);
  } else {
    _mm256_storeu_si256(static_cast<__m256i *>(p), v);
  }
}

struct ThreeWay {
  __m256i m[3][3];  // [channel][part]
};

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

GRABLINE_AVX2 inline ThreeWay MakeThreeWay(int size) {
  ThreeWay t;
  for (int c = 0; c < 3; ++c) {
    for (int part = 0; part < 3; ++part) t.m[c][part] = Broadcast(kThreeWay[size - 1][c][part]);
  }
  return t;
}

// Splits 96 bytes of three-element pixels (lane 0 the first 48, lane 1 the
// next 48) into three 32-byte channel vectors.
GRABLINE_AVX2 inline void SplitThree(const ThreeWay &t, const uint8_t *s, __m256i out[3]) {
  const __m256i a = LoadLanes(s, s + 48);
  const __m256i b = LoadLanes(s + 16, s + 64);
  const __m256i c = LoadLanes(s + 32, s + 80);
  for (int k = 0; k < 3; ++k) {
    out[k] = _mm256_or_si256(
        _mm256_or_si256(_mm256_shuffle_epi8(a, t.m[k][0]), _mm256_shuffle_epi8(b, t.m[k][1])),
        _mm256_shuffle_epi8(c, t.m[k][2]));
  }
}

GRABLINE_AVX2 void Split3x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                            bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split3(0, head, s, d0, d1, d2);
  const bool s0 = stream && Aligned(d0 + head, kAlign), s1 = stream && Aligned(d1 + head, kAlign),
             s2 = stream && Aligned(d2 + head, kAlign);
  const ThreeWay t = MakeThreeWay(1);
  const SourcePrefetch prefetch(s, 3 * n, stream);
  uint64_t i = head;
  for (; i + 32 <= n; i += 32) {
    prefetch.Ahead(s + 3 * i, 96);
    __m256i out[3];
    SplitThree(t, s + 3 * i, out);
    Store(d0 + i, out[0], s0);
    Store(d1 + i, out[1], s1);
    Store(d2 + i, out[2], s2);
  }
  scalar::Split3(i, n, s, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_AVX2 void Split3x16(uint64_t n, const uint16_t *s, uint16_t *d0, uint16_t *d1,
                             uint16_t *d2, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split3(0, head, s, d0, d1, d2);
  const bool s0 = stream && Aligned(d0 + head, kAlign), s1 = stream && Aligned(d1 + head, kAlign),
             s2 = stream && Aligned(d2 + head, kAlign);
  const ThreeWay t = MakeThreeWay(2);
  const SourcePrefetch prefetch(s, 3 * n * 2, stream);
  uint64_t i = head;
  for (; i + 16 <= n; i += 16) {
    prefetch.Ahead(s + 3 * i, 96);
    __m256i out[3];
    SplitThree(t, reinterpret_cast<const uint8_t *>(s + 3 * i), out);
    Store(d0 + i, out[0], s0);
    Store(d1 + i, out[1], s1);
    Store(d2 + i, out[2], s2);
  }
  scalar::Split3(i, n, s, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_AVX2 void Split4x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                            uint8_t *d3, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split4x8(0, head, s, d0, d1, d2, d3);
  const bool s0 = stream && Aligned(d0 + head, kAlign), s1 = stream && Aligned(d1 + head, kAlign),
             s2 = stream && Aligned(d2 + head, kAlign), s3 = stream && Aligned(d3 + head, kAlign);
  const __m256i group = Broadcast(kGroupFour);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const SourcePrefetch prefetch(s, 4 * n, stream);
  uint64_t i = head;
  for (; i + 32 <= n; i += 32) {
    prefetch.Ahead(s + 4 * i, 128);
    // Each vector: eight pixels as [c0 x8 | c1 x8 | c2 x8 | c3 x8].
    __m256i r[4];
    for (int k = 0; k < 4; ++k) {
      r[k] =
          _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(Load(s + 4 * i + 32 * k), group), order);
    }
    const __m256i lo01 = _mm256_unpacklo_epi64(r[0], r[1]),
                  hi01 = _mm256_unpackhi_epi64(r[0], r[1]);
    const __m256i lo23 = _mm256_unpacklo_epi64(r[2], r[3]),
                  hi23 = _mm256_unpackhi_epi64(r[2], r[3]);
    Store(d0 + i, _mm256_permute2x128_si256(lo01, lo23, 0x20), s0);
    Store(d1 + i, _mm256_permute2x128_si256(hi01, hi23, 0x20), s1);
    Store(d2 + i, _mm256_permute2x128_si256(lo01, lo23, 0x31), s2);
    Store(d3 + i, _mm256_permute2x128_si256(hi01, hi23, 0x31), s3);
  }
  scalar::Split4x8(i, n, s, d0, d1, d2, d3);
  if (stream) _mm_sfence();
}

GRABLINE_AVX2 void Split30(uint64_t n, const uint32_t *s, uint16_t *unpack, uint16_t *d0,
                           uint16_t *d1, uint16_t *d2, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split30(0, head, s, unpack, d0, d1, d2);
  const bool s0 = stream && Aligned(d0 + head, kAlign), s1 = stream && Aligned(d1 + head, kAlign),
             s2 = stream && Aligned(d2 + head, kAlign),
             su = stream && unpack != nullptr && Aligned(unpack + 3 * head, kAlign);
  const __m256i field = _mm256_set1_epi32(0x3ff);
  __m256i inter[3][3];
  for (int part = 0; part < 3; ++part) {
    for (int c = 0; c < 3; ++c) inter[part][c] = Broadcast(kInterleave[part][c]);
  }
  const SourcePrefetch prefetch(s, 4 * n, stream);
  uint64_t i = head;
  for (; i + 16 <= n; i += 16) {
    prefetch.Ahead(s + i, 64);
    const __m256i a = Load(s + i), b = Load(s + i + 8);
    __m256i c[3];
    for (int k = 0; k < 3; ++k) {
      const __m256i fa = _mm256_and_si256(_mm256_srli_epi32(a, 10 * k), field);
      const __m256i fb = _mm256_and_si256(_mm256_srli_epi32(b, 10 * k), field);
      // The fields fit 16 bits, so the signed pack never saturates.
      c[k] = _mm256_permute4x64_epi64(_mm256_packs_epi32(fa, fb), 0xD8);
    }
    Store(d0 + i, c[0], s0);
    Store(d1 + i, c[1], s1);
    Store(d2 + i, c[2], s2);
    if (unpack != nullptr) {
      __m256i r[3];
      for (int part = 0; part < 3; ++part) {
        r[part] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(c[0], inter[part][0]),
                                                  _mm256_shuffle_epi8(c[1], inter[part][1])),
                                  _mm256_shuffle_epi8(c[2], inter[part][2]));
      }
      uint16_t *u = unpack + 3 * i;
      Store(u, _mm256_permute2x128_si256(r[0], r[1], 0x20), su);
      Store(u + 16, _mm256_permute2x128_si256(r[2], r[0], 0x30), su);
      Store(u + 32, _mm256_permute2x128_si256(r[1], r[2], 0x31), su);
    }
  }
  scalar::Split30(i, n, s, unpack, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_AVX2 void CopyBlocks(const uint8_t *s, uint8_t *d, uint64_t count,
                              const SourcePrefetch &prefetch) {
  for (uint64_t b = 0; b < count; ++b, s += 128, d += 128) {
    prefetch.Ahead(s, 128);
    const __m256i v0 = Load(s), v1 = Load(s + 32), v2 = Load(s + 64), v3 = Load(s + 96);
    Store(d, v0, true);
    Store(d + 32, v1, true);
    Store(d + 64, v2, true);
    Store(d + 96, v3, true);
  }
}

void Copy(uint64_t bytes, const void *src, void *dst, bool stream) {
  StreamCopy(bytes, src, dst, stream, kAlign, 128, CopyBlocks);
}

constexpr KernelTable kAvx2{"avx2", Split3x8, Split4x8, Split3x16, Split30, Copy};

}  // namespace

const KernelTable *Avx2Table() { return &kAvx2; }

}  // namespace grabline::kernels
