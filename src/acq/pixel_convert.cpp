#include "acq/pixel_convert.hpp"

#include <cstring>

#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

// The loops below are kept plain, with non-aliasing pointers and the stride a
// constant, so that the compiler turns them into vector code: they run over
// every pixel of every frame.

// dst[i] = src[kStride * i]; the caller offsets src to the wanted component.
template <uint64_t kStride, typename T>
void TakeComponent(uint64_t pixels, const T *__restrict src, T *__restrict dst) {
  for (uint64_t i = 0; i < pixels; ++i) dst[i] = src[kStride * i];
}

template <unsigned kShift>
void TakeTenBitField(uint64_t pixels, const uint32_t *__restrict src, uint16_t *__restrict dst) {
  for (uint64_t i = 0; i < pixels; ++i) dst[i] = static_cast<uint16_t>((src[i] >> kShift) & 0x3ff);
}

void UnpackTenBitFields(uint64_t pixels, const uint32_t *__restrict src, uint16_t *__restrict dst) {
  for (uint64_t i = 0; i < pixels; ++i) {
    const uint32_t w = src[i];
    dst[3 * i] = static_cast<uint16_t>(w & 0x3ff);
    dst[3 * i + 1] = static_cast<uint16_t>((w >> 10) & 0x3ff);
    dst[3 * i + 2] = static_cast<uint16_t>((w >> 20) & 0x3ff);
  }
}

}  // namespace

Terr ExtractRGB24Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2) {
  const auto *s = static_cast<const uint8_t *>(src);
  TakeComponent<3>(pixels, s, p0);
  TakeComponent<3>(pixels, s + 1, p1);
  TakeComponent<3>(pixels, s + 2, p2);
  return FG_OK;
}

Terr ExtractRGB32Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2,
                          uint8_t *p3) {
  const auto *s = static_cast<const uint8_t *>(src);
  TakeComponent<4>(pixels, s + 2, p0);
  TakeComponent<4>(pixels, s + 1, p1);
  TakeComponent<4>(pixels, s, p2);
  TakeComponent<4>(pixels, s + 3, p3);
  return FG_OK;
}

Terr ExtractRGB30Channels(uint64_t pixels, const void *src32, uint16_t *dst16, Tuint2_pixel *c0,
                          Tuint2_pixel *c1, Tuint2_pixel *c2) {
  const auto *s = static_cast<const uint32_t *>(src32);
  c0->num_bits = c1->num_bits = c2->num_bits = 10;
  TakeTenBitField<0>(pixels, s, c0->p);
  TakeTenBitField<10>(pixels, s, c1->p);
  TakeTenBitField<20>(pixels, s, c2->p);
  if (dst16 != nullptr) UnpackTenBitFields(pixels, s, dst16);
  return FG_OK;
}

Terr ExtractRGB36Channels(uint64_t pixels, const void *src16, Tuint2_pixel *c0, Tuint2_pixel *c1,
                          Tuint2_pixel *c2) {
  const auto *s = static_cast<const uint16_t *>(src16);
  c0->num_bits = c1->num_bits = c2->num_bits = 12;
  TakeComponent<3>(pixels, s, c0->p);
  TakeComponent<3>(pixels, s + 1, c1->p);
  TakeComponent<3>(pixels, s + 2, c2->p);
  return FG_OK;
}

Terr CopyGrayPixels(uint64_t pixels, uint32_t bytes_per_pixel, const void *src, void *dst) {
  if (pixels != 0) std::memcpy(dst, src, pixels * bytes_per_pixel);
  return FG_OK;
}

}  // namespace grabline
