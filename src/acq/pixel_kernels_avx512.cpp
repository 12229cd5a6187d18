// AVX-512 kernels (with VBMI byte permutes): one permute across a whole
// 64-byte vector replaces the lane-bound shuffles of the AVX2 kernels.
#include <immintrin.h>

#include <array>
#include <cstring>

#include "acq/pixel_kernels_isa.hpp"

// g++ 12's AVX-512 intrinsics start from a deliberately undefined vector
// ("__Y = __Y") that its own flow analysis then flags once sanitizers are
// on; the value is never read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define GRABLINE_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace grabline::kernels {
namespace {

constexpr uintptr_t kAlign = 64;

template <size_t N>
using Index = std::array<uint8_t, N>;

// Element i of channel k of three-element pixels: 3i + k, across three vectors.
template <size_t N>
constexpr Index<N> ThreeWayIndex(int channel) {
  Index<N> x{};
  for (size_t i = 0; i < N; ++i) x[i] = static_cast<uint8_t>(3 * i + channel);
  return x;
}

template <size_t N>
constexpr uint64_t HighThirdMask(int channel) {
  uint64_t m = 0;
  for (size_t i = 0; i < N; ++i) {
    if (3 * i + channel >= 2 * N) m |= uint64_t{1} << i;
  }
  return m;
}

// Byte 16k + j of a vector: byte k of pixel j, for 16 pixels.
constexpr Index<64> GroupFourIndex() {
  Index<64> x{};
  for (int p = 0; p < 64; ++p) x[p] = static_cast<uint8_t>(4 * (p % 16) + p / 16);
  return x;
}

// Word q of interleaved vector `part`: global word 32 part + q is channel
// (g mod 3) of pixel g / 3; channel 1 is addressed as the second table.
constexpr Index<32> InterleaveIndex(int part) {
  Index<32> x{};
  for (int q = 0; q < 32; ++q) {
    const int g = 32 * part + q, pixel = g / 3, channel = g % 3;
    x[q] = static_cast<uint8_t>(channel == 1 ? 32 + pixel : pixel);
  }
  return x;
}

// Word j: 2j + half, the low (0) or high (1) half of 32-bit element j.
constexpr Index<32> HalfIndex(int half) {
  Index<32> x{};
  for (int j = 0; j < 32; ++j) x[j] = static_cast<uint8_t>(2 * j + half);
  return x;
}

constexpr uint32_t InterleaveThirdMask(int part) {
  uint32_t m = 0;
  for (int q = 0; q < 32; ++q) {
    if ((32 * part + q) % 3 == 2) m |= uint32_t{1} << q;
  }
  return m;
}

constexpr Index<64> kThree8[3] = {ThreeWayIndex<64>(0), ThreeWayIndex<64>(1), ThreeWayIndex<64>(2)};
constexpr uint64_t kThree8High[3] = {HighThirdMask<64>(0), HighThirdMask<64>(1),
                                     HighThirdMask<64>(2)};
constexpr Index<32> kThree16[3] = {ThreeWayIndex<32>(0), ThreeWayIndex<32>(1),
                                   ThreeWayIndex<32>(2)};
constexpr uint64_t kThree16High[3] = {HighThirdMask<32>(0), HighThirdMask<32>(1),
                                      HighThirdMask<32>(2)};
constexpr Index<64> kGroupFour = GroupFourIndex();
constexpr Index<32> kEvenWords = HalfIndex(0), kOddWords = HalfIndex(1);
constexpr Index<32> kInterleave[3] = {InterleaveIndex(0), InterleaveIndex(1), InterleaveIndex(2)};
constexpr uint32_t kInterleaveThird[3] = {InterleaveThirdMask(0), InterleaveThirdMask(1),
                                          InterleaveThirdMask(2)};

GRABLINE_AVX512 inline __m512i Load(const void *p) { return _mm512_loadu_si512(p); }

// Indices of 16-bit elements widened from their byte tables.
template <size_t N>
GRABLINE_AVX512 inline __m512i LoadIndex(const Index<N> &x) {
  if constexpr (N == 64) {
    return Load(x.data());
  } else {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(x.data())));
  }
}

GRABLINE_AVX512 inline void Store(void *p, __m512i v, bool stream) {
  if (stream) {
    _mm512_stream_si512(static_cast<__m512i *>(p), v);
  } else {
    _mm512_storeu_si512(p, v);
  }
}

GRABLINE_AVX512 void Split3x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                              bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split3x8(0, head, s, d0, d1, d2);
  uint8_t *d[3] = {d0, d1, d2};
  bool st[3];
  __m512i index[3];
  for (int k = 0; k < 3; ++k) {
    st[k] = stream && Aligned(d[k] + head, kAlign);
    index[k] = LoadIndex(kThree8[k]);
  }
  uint64_t i = head;
  for (; i + 64 <= n; i += 64) {
    const uint8_t *p = s + 3 * i;
    const __m512i a = Load(p), b = Load(p + 64), c = Load(p + 128);
    for (int k = 0; k < 3; ++k) {
      const __m512i ab = _mm512_permutex2var_epi8(a, index[k], b);
      Store(d[k] + i, _mm512_mask_permutexvar_epi8(ab, kThree8High[k], index[k], c), st[k]);
    }
  }
  scalar::Split3x8(i, n, s, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_AVX512 void Split3x16(uint64_t n, const uint16_t *s, uint16_t *d0, uint16_t *d1,
                               uint16_t *d2, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split3x16(0, head, s, d0, d1, d2);
  uint16_t *d[3] = {d0, d1, d2};
  bool st[3];
  __m512i index[3];
  for (int k = 0; k < 3; ++k) {
    st[k] = stream && Aligned(d[k] + head, kAlign);
    index[k] = LoadIndex(kThree16[k]);
  }
  uint64_t i = head;
  for (; i + 32 <= n; i += 32) {
    const uint16_t *p = s + 3 * i;
    const __m512i a = Load(p), b = Load(p + 32), c = Load(p + 64);
    for (int k = 0; k < 3; ++k) {
      const __m512i ab = _mm512_permutex2var_epi16(a, index[k], b);
      const auto high = static_cast<__mmask32>(kThree16High[k]);
      Store(d[k] + i, _mm512_mask_permutexvar_epi16(ab, high, index[k], c), st[k]);
    }
  }
  scalar::Split3x16(i, n, s, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_AVX512 void Split4x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                              uint8_t *d3, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split4x8(0, head, s, d0, d1, d2, d3);
  uint8_t *d[4] = {d0, d1, d2, d3};
  bool st[4];
  for (int k = 0; k < 4; ++k) st[k] = stream && Aligned(d[k] + head, kAlign);
  const __m512i group = LoadIndex(kGroupFour);
  uint64_t i = head;
  for (; i + 64 <= n; i += 64) {
    // Each vector: sixteen pixels as 128-bit lanes [c0 | c1 | c2 | c3].
    __m512i r[4];
    for (int k = 0; k < 4; ++k) r[k] = _mm512_permutexvar_epi8(group, Load(s + 4 * i + 64 * k));
    // A 4 x 4 transpose of the lanes.
    const __m512i t0 = _mm512_shuffle_i64x2(r[0], r[1], _MM_SHUFFLE(1, 0, 1, 0));
    const __m512i t1 = _mm512_shuffle_i64x2(r[0], r[1], _MM_SHUFFLE(3, 2, 3, 2));
    const __m512i t2 = _mm512_shuffle_i64x2(r[2], r[3], _MM_SHUFFLE(1, 0, 1, 0));
    const __m512i t3 = _mm512_shuffle_i64x2(r[2], r[3], _MM_SHUFFLE(3, 2, 3, 2));
    Store(d0 + i, _mm512_shuffle_i64x2(t0, t2, _MM_SHUFFLE(2, 0, 2, 0)), st[0]);
    Store(d1 + i, _mm512_shuffle_i64x2(t0, t2, _MM_SHUFFLE(3, 1, 3, 1)), st[1]);
    Store(d2 + i, _mm512_shuffle_i64x2(t1, t3, _MM_SHUFFLE(2, 0, 2, 0)), st[2]);
    Store(d3 + i, _mm512_shuffle_i64x2(t1, t3, _MM_SHUFFLE(3, 1, 3, 1)), st[3]);
  }
  scalar::Split4x8(i, n, s, d0, d1, d2, d3);
  if (stream) _mm_sfence();
}

GRABLINE_AVX512 void Split30(uint64_t n, const uint32_t *s, uint16_t *unpack, uint16_t *d0,
                             uint16_t *d1, uint16_t *d2, bool stream) {
  const uint64_t head = HeadPixels(d0, n, kAlign);
  scalar::Split30(0, head, s, unpack, d0, d1, d2);
  const bool s0 = stream && Aligned(d0 + head, kAlign), s1 = stream && Aligned(d1 + head, kAlign),
             s2 = stream && Aligned(d2 + head, kAlign),
             su = stream && unpack != nullptr && Aligned(unpack + 3 * head, kAlign);
  const __m512i field = _mm512_set1_epi16(0x3ff);
  // The low and the high 16-bit half of each of 32 words in two vectors.
  const __m512i low_words = LoadIndex(kEvenWords), high_words = LoadIndex(kOddWords);
  __m512i inter[3];
  for (int part = 0; part < 3; ++part) inter[part] = LoadIndex(kInterleave[part]);
  uint64_t i = head;
  for (; i + 32 <= n; i += 32) {
    const __m512i a = Load(s + i), b = Load(s + i + 16);
    const __m512i c0 = _mm512_and_si512(_mm512_permutex2var_epi16(a, low_words, b), field);
    const __m512i c1 = _mm512_and_si512(
        _mm512_permutex2var_epi16(_mm512_srli_epi32(a, 10), low_words, _mm512_srli_epi32(b, 10)),
        field);
    const __m512i c2 =
        _mm512_and_si512(_mm512_srli_epi16(_mm512_permutex2var_epi16(a, high_words, b), 4), field);
    Store(d0 + i, c0, s0);
    Store(d1 + i, c1, s1);
    Store(d2 + i, c2, s2);
    if (unpack != nullptr) {
      uint16_t *u = unpack + 3 * i;
      for (int part = 0; part < 3; ++part) {
        const __m512i c01 = _mm512_permutex2var_epi16(c0, inter[part], c1);
        const auto third = static_cast<__mmask32>(kInterleaveThird[part]);
        Store(u + 32 * part, _mm512_mask_permutexvar_epi16(c01, third, inter[part], c2), su);
      }
    }
  }
  scalar::Split30(i, n, s, unpack, d0, d1, d2);
  if (stream) _mm_sfence();
}

GRABLINE_AVX512 void Copy(uint64_t bytes, const void *src, void *dst, bool stream) {
  if (bytes == 0) return;
  if (!stream) {
    std::memcpy(dst, src, bytes);
    return;
  }
  auto *d = static_cast<uint8_t *>(dst);
  const auto *s = static_cast<const uint8_t *>(src);
  const uint64_t head = HeadPixels(d, bytes, kAlign);
  std::memcpy(d, s, head);
  uint64_t i = head;
  for (; i + 256 <= bytes; i += 256) {
    const __m512i v0 = Load(s + i), v1 = Load(s + i + 64), v2 = Load(s + i + 128),
                  v3 = Load(s + i + 192);
    Store(d + i, v0, true);
    Store(d + i + 64, v1, true);
    Store(d + i + 128, v2, true);
    Store(d + i + 192, v3, true);
  }
  std::memcpy(d + i, s + i, bytes - i);
  _mm_sfence();
}

constexpr KernelTable kAvx512{"avx512", Split3x8, Split4x8, Split3x16, Split30, Copy};

}  // namespace

const KernelTable *Avx512Table() { return &kAvx512; }

}  // namespace grabline::kernels
