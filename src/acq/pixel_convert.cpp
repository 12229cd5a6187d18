#include "acq/pixel_convert.hpp"

#include "acq/kernel_dispatch.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

using kernels::Candidate;
using kernels::Dispatch;
using kernels::Kernel;

Terr ExtractRGB24Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2) {
  const uint64_t bytes = 3 * pixels;
  Dispatch().Convert(Kernel::kSplit3x8, bytes, bytes, [&](const Candidate &c) {
    c.table->split3x8(pixels, static_cast<const uint8_t *>(src), p0, p1, p2, c.stream);
  });
  return FG_OK;
}

Terr ExtractRGB32Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2,
                          uint8_t *p3) {
  // Byte 0 of a pixel goes to p2 and byte 2 to p0.
  const uint64_t bytes = 4 * pixels;
  Dispatch().Convert(Kernel::kSplit4x8, bytes, bytes, [&](const Candidate &c) {
    c.table->split4x8(pixels, static_cast<const uint8_t *>(src), p2, p1, p0, p3, c.stream);
  });
  return FG_OK;
}

Terr ExtractRGB30Channels(uint64_t pixels, const void *src32, uint16_t *dst16, Tuint2_pixel *c0,
                          Tuint2_pixel *c1, Tuint2_pixel *c2) {
  c0->num_bits = c1->num_bits = c2->num_bits = 10;
  const uint64_t written = (dst16 != nullptr ? 12 : 6) * pixels;
  Dispatch().Convert(Kernel::kSplit30, 4 * pixels, written, [&](const Candidate &c) {
    c.table->split30(pixels, static_cast<const uint32_t *>(src32), dst16, c0->p, c1->p, c2->p,
                     c.stream);
  });
  return FG_OK;
}

Terr ExtractRGB36Channels(uint64_t pixels, const void *src16, Tuint2_pixel *c0, Tuint2_pixel *c1,
                          Tuint2_pixel *c2) {
  c0->num_bits = c1->num_bits = c2->num_bits = 12;
  const uint64_t bytes = 6 * pixels;
  Dispatch().Convert(Kernel::kSplit3x16, bytes, bytes, [&](const Candidate &c) {
    c.table->split3x16(pixels, static_cast<const uint16_t *>(src16), c0->p, c1->p, c2->p, c.stream);
  });
  return FG_OK;
}

Terr CopyGrayPixels(uint64_t pixels, uint32_t bytes_per_pixel, const void *src, void *dst) {
  const uint64_t bytes = pixels * bytes_per_pixel;
  Dispatch().Convert(Kernel::kCopy, bytes, bytes,
                     [&](const Candidate &c) { c.table->copy(bytes, src, dst, c.stream); });
  return FG_OK;
}

}  // namespace grabline
