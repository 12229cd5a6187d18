// AVX-512 kernels (with VBMI byte permutes): one permute across a whole
// 64-byte vector replaces the lane-bound shuffles of the AVX2 kernels.
#include <immintrin.h>

#include <algorithm>
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

// Word permutes as byte permutes: on the cores this table is for, the byte
// forms are single operations while the word forms take several.
constexpr Index<64> WordBytes(const Index<32> &words) {
  Index<64> x{};
  for (int q = 0; q < 32; ++q) {
    x[2 * q] = static_cast<uint8_t>(2 * words[q]);
    x[2 * q + 1] = static_cast<uint8_t>(2 * words[q] + 1);
  }
  return x;
}

constexpr uint64_t WordMaskBytes(uint64_t words) {
  uint64_t m = 0;
  for (int q = 0; q < 32; ++q) {
    if ((words >> q) & 1) m |= uint64_t{3} << (2 * q);
  }
  return m;
}

constexpr Index<64> kThree8[3] = {ThreeWayIndex<64>(0), ThreeWayIndex<64>(1), ThreeWayIndex<64>(2)};
constexpr uint64_t kThree8High[3] = {HighThirdMask<64>(0), HighThirdMask<64>(1),
                                     HighThirdMask<64>(2)};
constexpr Index<64> kThree16[3] = {WordBytes(ThreeWayIndex<32>(0)), WordBytes(ThreeWayIndex<32>(1)),
                                   WordBytes(ThreeWayIndex<32>(2))};
constexpr uint64_t kThree16High[3] = {WordMaskBytes(HighThirdMask<32>(0)),
                                      WordMaskBytes(HighThirdMask<32>(1)),
                                      WordMaskBytes(HighThirdMask<32>(2))};
constexpr Index<64> kEvenWords = WordBytes(HalfIndex(0)), kOddWords = WordBytes(HalfIndex(1));
constexpr Index<64> kInterleave[3] = {WordBytes(InterleaveIndex(0)), WordBytes(InterleaveIndex(1)),
                                      WordBytes(InterleaveIndex(2))};
constexpr uint64_t kInterleaveThird[3] = {WordMaskBytes(InterleaveThirdMask(0)),
                                          WordMaskBytes(InterleaveThirdMask(1)),
                                          WordMaskBytes(InterleaveThirdMask(2))};

GRABLINE_AVX512 inline __m512i Load(const void *p) { return _mm512_loadu_si512(p); }

// The source as two 32-byte halves: a frame's windows rarely start on a line,
// and on some cores a 64-byte load that splits lines (and every 64th one,
// pages) halves the speed on frames from memory (a 12 MP 24-bit split: 0.47x
// memcpy with whole-vector loads, 1.27x with halves; the same on aligned
// windows). The insert costs nothing measurable in the cache.
GRABLINE_AVX512 inline __m512i LoadSource(const void *p) {
  const auto *b = static_cast<const uint8_t *>(p);
  return _mm512_inserti64x4(
      _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(b))),
      _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + 32)), 1);
}

GRABLINE_AVX512 inline __m512i LoadIndex(const Index<64> &x) { return Load(x.data()); }

// The store kind is a template argument so the loops carry no branch per
// store and keep their permute indices in registers.
template <bool kStream>
GRABLINE_AVX512 inline void Put(void *p, __m512i v) {
  if constexpr (kStream) {
    _mm512_stream_si512(static_cast<__m512i *>(p), v);
  } else {
    _mm512_storeu_si512(p, v);
  }
}

// Element i of channel k of four-byte pixels, for the 32 pixels of two vectors.
constexpr Index<64> FourWayIndex(int channel) {
  Index<64> x{};
  for (int i = 0; i < 64; ++i) x[i] = static_cast<uint8_t>((4 * i + channel) % 128);
  return x;
}

constexpr Index<64> kFour8[4] = {FourWayIndex(0), FourWayIndex(1), FourWayIndex(2),
                                 FourWayIndex(3)};

// Channel k of 64 bytes' worth of three-element pixels starting at p.
template <typename T>
GRABLINE_AVX512 inline __m512i ThreeWayChannel(const T *p, __m512i x, uint64_t high) {
  constexpr uint64_t kStep = 64 / sizeof(T);
  const __m512i a = LoadSource(p), b = LoadSource(p + kStep), c = LoadSource(p + 2 * kStep);
  return _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(a, x, b), high, x, c);
}

// Planes from separate allocations rarely share an alignment, so each plane
// runs at its own offset: its own scalar head up to a line boundary, then
// whole aligned lines, each computed from the source window of exactly the
// pixels that line holds. The windows of the planes lie within one line of
// pixels of each other, so the extra loads hit L1, and no store ever splits a
// line, streamed or not.
template <typename T, bool kStream>
GRABLINE_AVX512 void SplitThreeLines(uint64_t n, const T *s, T *d0, T *d1, T *d2) {
  constexpr uint64_t kStep = 64 / sizeof(T);
  // Built from the 8-bit or the 16-bit tables; one loop serves both widths.
  const auto &index = [] {
    if constexpr (sizeof(T) == 1) {
      return kThree8;
    } else {
      return kThree16;
    }
  }();
  const uint64_t *const high = sizeof(T) == 1 ? kThree8High : kThree16High;
  const __m512i x0 = LoadIndex(index[0]), x1 = LoadIndex(index[1]), x2 = LoadIndex(index[2]);
  const uint64_t m0 = high[0], m1 = high[1], m2 = high[2];
  const uint64_t h0 = HeadPixels(d0, n, kAlign), h1 = HeadPixels(d1, n, kAlign),
                 h2 = HeadPixels(d2, n, kAlign);
  const uint64_t most = std::max({h0, h1, h2});
  const SourcePrefetch prefetch(s, 3 * n * sizeof(T), kStream);
  uint64_t j = 0;
  for (; most + j + kStep <= n; j += kStep) {
    prefetch.Ahead(s + 3 * (h0 + j), 192);
    Put<kStream>(d0 + h0 + j, ThreeWayChannel(s + 3 * (h0 + j), x0, m0));
    Put<kStream>(d1 + h1 + j, ThreeWayChannel(s + 3 * (h1 + j), x1, m1));
    Put<kStream>(d2 + h2 + j, ThreeWayChannel(s + 3 * (h2 + j), x2, m2));
  }
  T *const d[3] = {d0, d1, d2};
  const uint64_t h[3] = {h0, h1, h2};
  for (int k = 0; k < 3; ++k) {
    for (uint64_t i = 0; i < h[k]; ++i) d[k][i] = s[3 * i + k];
    for (uint64_t i = h[k] + j; i < n; ++i) d[k][i] = s[3 * i + k];
  }
}

GRABLINE_AVX512 void Split3x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                              bool stream) {
  if (stream) {
    SplitThreeLines<uint8_t, true>(n, s, d0, d1, d2);
    _mm_sfence();
  } else {
    SplitThreeLines<uint8_t, false>(n, s, d0, d1, d2);
  }
}

GRABLINE_AVX512 void Split3x16(uint64_t n, const uint16_t *s, uint16_t *d0, uint16_t *d1,
                               uint16_t *d2, bool stream) {
  if (stream) {
    SplitThreeLines<uint16_t, true>(n, s, d0, d1, d2);
    _mm_sfence();
  } else {
    SplitThreeLines<uint16_t, false>(n, s, d0, d1, d2);
  }
}

// Channel k of the 64 four-byte pixels starting at p: two two-source
// permutes gather 32 pixels each into their low halves.
GRABLINE_AVX512 inline __m512i FourWayChannel(const uint8_t *p, __m512i x) {
  const __m512i low = _mm512_permutex2var_epi8(LoadSource(p), x, LoadSource(p + 64));
  const __m512i high = _mm512_permutex2var_epi8(LoadSource(p + 128), x, LoadSource(p + 192));
  return _mm512_shuffle_i64x2(low, high, _MM_SHUFFLE(1, 0, 1, 0));
}

// The same per-plane line scheme as SplitThreeLines.
template <bool kStream>
GRABLINE_AVX512 void SplitFourLines(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1,
                                    uint8_t *d2, uint8_t *d3) {
  const __m512i x0 = LoadIndex(kFour8[0]), x1 = LoadIndex(kFour8[1]), x2 = LoadIndex(kFour8[2]),
                x3 = LoadIndex(kFour8[3]);
  const uint64_t h0 = HeadPixels(d0, n, kAlign), h1 = HeadPixels(d1, n, kAlign),
                 h2 = HeadPixels(d2, n, kAlign), h3 = HeadPixels(d3, n, kAlign);
  const uint64_t most = std::max({h0, h1, h2, h3});
  const SourcePrefetch prefetch(s, 4 * n, kStream);
  uint64_t j = 0;
  for (; most + j + 64 <= n; j += 64) {
    prefetch.Ahead(s + 4 * (h0 + j), 256);
    Put<kStream>(d0 + h0 + j, FourWayChannel(s + 4 * (h0 + j), x0));
    Put<kStream>(d1 + h1 + j, FourWayChannel(s + 4 * (h1 + j), x1));
    Put<kStream>(d2 + h2 + j, FourWayChannel(s + 4 * (h2 + j), x2));
    Put<kStream>(d3 + h3 + j, FourWayChannel(s + 4 * (h3 + j), x3));
  }
  uint8_t *const d[4] = {d0, d1, d2, d3};
  const uint64_t h[4] = {h0, h1, h2, h3};
  for (int k = 0; k < 4; ++k) {
    for (uint64_t i = 0; i < h[k]; ++i) d[k][i] = s[4 * i + k];
    for (uint64_t i = h[k] + j; i < n; ++i) d[k][i] = s[4 * i + k];
  }
}

GRABLINE_AVX512 void Split4x8(uint64_t n, const uint8_t *s, uint8_t *d0, uint8_t *d1, uint8_t *d2,
                              uint8_t *d3, bool stream) {
  if (stream) {
    SplitFourLines<true>(n, s, d0, d1, d2, d3);
    _mm_sfence();
  } else {
    SplitFourLines<false>(n, s, d0, d1, d2, d3);
  }
}

// The three 10-bit fields of 32 pixels at p, as 16-bit words: the low and
// the high halves of the 32-bit pixels are gathered into a vector each.
struct Fields30 {
  __m512i low, high;
};

GRABLINE_AVX512 inline Fields30 Halves(const uint32_t *p, __m512i low_words, __m512i high_words) {
  const __m512i a = LoadSource(p), b = LoadSource(p + 16);
  return {_mm512_permutex2var_epi8(a, low_words, b), _mm512_permutex2var_epi8(a, high_words, b)};
}

GRABLINE_AVX512 inline __m512i Field0(const Fields30 &f, __m512i mask) {
  return _mm512_and_si512(f.low, mask);
}
// Field 1 straddles the halves: bits 10..15 of the low, 0..3 of the high.
GRABLINE_AVX512 inline __m512i Field1(const Fields30 &f, __m512i mask) {
  return _mm512_and_si512(
      _mm512_or_si512(_mm512_srli_epi16(f.low, 10), _mm512_slli_epi16(f.high, 6)), mask);
}
GRABLINE_AVX512 inline __m512i Field2(const Fields30 &f, __m512i mask) {
  return _mm512_and_si512(_mm512_srli_epi16(f.high, 4), mask);
}

// Pixels before unpack + 3 * head is on a line boundary (3 words a pixel, so
// some head below 32 reaches one from any even address); `pixels` if none.
inline uint64_t UnpackHead(const uint16_t *unpack, uint64_t pixels) {
  const auto address = reinterpret_cast<uintptr_t>(unpack);
  for (uint64_t head = 0; head < 32 && head < pixels; ++head) {
    if ((address + 6 * head) % kAlign == 0) return head;
  }
  return pixels;
}

// The per-plane line scheme of SplitThreeLines, with the unpacked copy as a
// fourth destination of its own alignment.
template <bool kStream, bool kUnpack>
GRABLINE_AVX512 void Split30Lines(uint64_t n, const uint32_t *s, uint16_t *unpack, uint16_t *d0,
                                  uint16_t *d1, uint16_t *d2) {
  const __m512i field = _mm512_set1_epi16(0x3ff);
  const __m512i low_words = LoadIndex(kEvenWords), high_words = LoadIndex(kOddWords);
  const __m512i x0 = LoadIndex(kInterleave[0]), x1 = LoadIndex(kInterleave[1]),
                x2 = LoadIndex(kInterleave[2]);
  const __mmask64 m0 = kInterleaveThird[0], m1 = kInterleaveThird[1], m2 = kInterleaveThird[2];
  const uint64_t h0 = HeadPixels(d0, n, kAlign), h1 = HeadPixels(d1, n, kAlign),
                 h2 = HeadPixels(d2, n, kAlign), hu = kUnpack ? UnpackHead(unpack, n) : 0;
  const uint64_t most = std::max({h0, h1, h2, hu});
  const SourcePrefetch prefetch(s, 4 * n, kStream);
  uint64_t j = 0;
  for (; most + j + 32 <= n; j += 32) {
    prefetch.Ahead(s + h0 + j, 128);
    const Fields30 f0 = Halves(s + h0 + j, low_words, high_words);
    Put<kStream>(d0 + h0 + j, Field0(f0, field));
    const Fields30 f1 = Halves(s + h1 + j, low_words, high_words);
    Put<kStream>(d1 + h1 + j, Field1(f1, field));
    const Fields30 f2 = Halves(s + h2 + j, low_words, high_words);
    Put<kStream>(d2 + h2 + j, Field2(f2, field));
    if constexpr (kUnpack) {
      const Fields30 f = Halves(s + hu + j, low_words, high_words);
      const __m512i c0 = Field0(f, field), c1 = Field1(f, field), c2 = Field2(f, field);
      uint16_t *u = unpack + 3 * (hu + j);
      Put<kStream>(u,
                   _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(c0, x0, c1), m0, x0, c2));
      Put<kStream>(u + 32,
                   _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(c0, x1, c1), m1, x1, c2));
      Put<kStream>(u + 64,
                   _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(c0, x2, c1), m2, x2, c2));
    }
  }
  uint16_t *const d[3] = {d0, d1, d2};
  const uint64_t h[3] = {h0, h1, h2};
  for (int k = 0; k < 3; ++k) {
    for (uint64_t i = 0; i < h[k]; ++i) d[k][i] = static_cast<uint16_t>((s[i] >> (10 * k)) & 0x3ff);
    for (uint64_t i = h[k] + j; i < n; ++i) {
      d[k][i] = static_cast<uint16_t>((s[i] >> (10 * k)) & 0x3ff);
    }
  }
  if constexpr (kUnpack) {
    scalar::Split30(0, hu, s, unpack, d0, d1, d2);
    scalar::Split30(hu + j, n, s, unpack, d0, d1, d2);
  }
}

GRABLINE_AVX512 void Split30(uint64_t n, const uint32_t *s, uint16_t *unpack, uint16_t *d0,
                             uint16_t *d1, uint16_t *d2, bool stream) {
  if (unpack != nullptr) {
    stream ? Split30Lines<true, true>(n, s, unpack, d0, d1, d2)
           : Split30Lines<false, true>(n, s, unpack, d0, d1, d2);
  } else {
    stream ? Split30Lines<true, false>(n, s, unpack, d0, d1, d2)
           : Split30Lines<false, false>(n, s, unpack, d0, d1, d2);
  }
  if (stream) _mm_sfence();
}

GRABLINE_AVX512 void CopyBlocks(const uint8_t *s, uint8_t *d, uint64_t count,
                                const SourcePrefetch &prefetch) {
  for (uint64_t b = 0; b < count; ++b, s += 256, d += 256) {
    prefetch.Ahead(s, 256);
    const __m512i v0 = Load(s), v1 = Load(s + 64), v2 = Load(s + 128), v3 = Load(s + 192);
    Put<true>(d, v0);
    Put<true>(d + 64, v1);
    Put<true>(d + 128, v2);
    Put<true>(d + 192, v3);
  }
}

void Copy(uint64_t bytes, const void *src, void *dst, bool stream) {
  StreamCopy(bytes, src, dst, stream, kAlign, 256, CopyBlocks);
}

constexpr KernelTable kAvx512{"avx512", Split3x8, Split4x8, Split3x16, Split30, Copy};

}  // namespace

const KernelTable *Avx512Table() { return &kAvx512; }

}  // namespace grabline::kernels
