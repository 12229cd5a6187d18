#include "acq/pixel_convert.hpp"

#include "acq/kernel_dispatch.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {

using kernels::Candidate;
using kernels::Dispatch;
using kernels::Kernel;

Terr ExtractRGB24Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2) {
  const uint64_t bytes = 3 * pixels;
  const auto *s = static_cast<const uint8_t *>(src);
  Dispatch().Convert(Kernel::kSplit3x8, pixels, bytes, bytes,
                     [&](const Candidate &c, uint64_t i, uint64_t end) {
                       c.table->split3x8(end - i, s + 3 * i, p0 + i, p1 + i, p2 + i, c.stream);
                     });
  return FG_OK;
}

Terr ExtractRGB32Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2,
                          uint8_t *p3) {
  // Byte 0 of a pixel goes to p2 and byte 2 to p0.
  const uint64_t bytes = 4 * pixels;
  const auto *s = static_cast<const uint8_t *>(src);
  Dispatch().Convert(
      Kernel::kSplit4x8, pixels, bytes, bytes, [&](const Candidate &c, uint64_t i, uint64_t end) {
        c.table->split4x8(end - i, s + 4 * i, p2 + i, p1 + i, p0 + i, p3 + i, c.stream);
      });
  return FG_OK;
}

Terr ExtractRGB30Channels(uint64_t pixels, const void *src32, uint16_t *dst16, Tuint2_pixel *c0,
                          Tuint2_pixel *c1, Tuint2_pixel *c2) {
  c0->num_bits = c1->num_bits = c2->num_bits = 10;
  const uint64_t written = (dst16 != nullptr ? 12 : 6) * pixels;
  const auto *s = static_cast<const uint32_t *>(src32);
  Dispatch().Convert(Kernel::kSplit30, pixels, 4 * pixels, written,
                     [&](const Candidate &c, uint64_t i, uint64_t end) {
                       c.table->split30(end - i, s + i, dst16 != nullptr ? dst16 + 3 * i : nullptr,
                                        c0->p + i, c1->p + i, c2->p + i, c.stream);
                     });
  return FG_OK;
}

Terr ExtractRGB36Channels(uint64_t pixels, const void *src16, Tuint2_pixel *c0, Tuint2_pixel *c1,
                          Tuint2_pixel *c2) {
  c0->num_bits = c1->num_bits = c2->num_bits = 12;
  const uint64_t bytes = 6 * pixels;
  const auto *s = static_cast<const uint16_t *>(src16);
  Dispatch().Convert(
      Kernel::kSplit3x16, pixels, bytes, bytes, [&](const Candidate &c, uint64_t i, uint64_t end) {
        c.table->split3x16(end - i, s + 3 * i, c0->p + i, c1->p + i, c2->p + i, c.stream);
      });
  return FG_OK;
}

Terr CopyGrayPixels(uint64_t pixels, uint32_t bytes_per_pixel, const void *src, void *dst) {
  const uint64_t bytes = pixels * bytes_per_pixel;
  const auto *s = static_cast<const uint8_t *>(src);
  auto *d = static_cast<uint8_t *>(dst);
  Dispatch().Convert(Kernel::kCopy, pixels, bytes, bytes,
                     [&](const Candidate &c, uint64_t i, uint64_t end) {
                       const uint64_t at = i * bytes_per_pixel;
                       c.table->copy((end - i) * bytes_per_pixel, s + at, d + at, c.stream);
                     });
  return FG_OK;
}

}  // namespace grabline
