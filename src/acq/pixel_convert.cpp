#include "acq/pixel_convert.hpp"

#include "acq/pixel_kernels.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

// The table is chosen once; every frame after the first only loads it.
const kernels::KernelTable &Kernels() { return kernels::ActiveKernels(); }

}  // namespace

Terr ExtractRGB24Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2) {
  const uint64_t bytes = 3 * pixels;
  Kernels().split3x8(pixels, static_cast<const uint8_t *>(src), p0, p1, p2,
                     kernels::ShouldStream(bytes, bytes));
  return FG_OK;
}

Terr ExtractRGB32Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2,
                          uint8_t *p3) {
  // Byte 0 of a pixel goes to p2 and byte 2 to p0.
  const uint64_t bytes = 4 * pixels;
  Kernels().split4x8(pixels, static_cast<const uint8_t *>(src), p2, p1, p0, p3,
                     kernels::ShouldStream(bytes, bytes));
  return FG_OK;
}

Terr ExtractRGB30Channels(uint64_t pixels, const void *src32, uint16_t *dst16, Tuint2_pixel *c0,
                          Tuint2_pixel *c1, Tuint2_pixel *c2) {
  c0->num_bits = c1->num_bits = c2->num_bits = 10;
  const uint64_t written = (dst16 != nullptr ? 12 : 6) * pixels;
  Kernels().split30(pixels, static_cast<const uint32_t *>(src32), dst16, c0->p, c1->p, c2->p,
                    kernels::ShouldStream(4 * pixels, written));
  return FG_OK;
}

Terr ExtractRGB36Channels(uint64_t pixels, const void *src16, Tuint2_pixel *c0, Tuint2_pixel *c1,
                          Tuint2_pixel *c2) {
  c0->num_bits = c1->num_bits = c2->num_bits = 12;
  const uint64_t bytes = 6 * pixels;
  Kernels().split3x16(pixels, static_cast<const uint16_t *>(src16), c0->p, c1->p, c2->p,
                      kernels::ShouldStream(bytes, bytes));
  return FG_OK;
}

Terr CopyGrayPixels(uint64_t pixels, uint32_t bytes_per_pixel, const void *src, void *dst) {
  const uint64_t bytes = pixels * bytes_per_pixel;
  Kernels().copy(bytes, src, dst, kernels::ShouldStream(bytes, bytes));
  return FG_OK;
}

}  // namespace grabline
