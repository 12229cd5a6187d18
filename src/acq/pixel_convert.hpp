// pixel_convert.hpp — packed colour pixels of a ring buffer split into channel
// images, and the gray copy.
//
// Counts are pixels in 64 bits: a frame of a large sensor holds more bytes
// than 32 bits count. The caller passes the count it wants converted, so a
// frame shorter or longer than the nominal one is never over-read or
// over-written. The source is read once and every output is written
// sequentially in the same pass, by the vector kernels this CPU has
// (pixel_kernels.hpp) whose speed on this machine measured best
// (kernel_dispatch.hpp).
// Nothing is allocated per frame. Every function returns FG_OK.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

// Three bytes a pixel: p0 takes byte 0, p1 byte 1, p2 byte 2.
Terr ExtractRGB24Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2);

// Four bytes a pixel: p2 takes byte 0, p1 byte 1, p0 byte 2, p3 byte 3.
Terr ExtractRGB32Channels(uint64_t pixels, const void *src, uint8_t *p0, uint8_t *p1, uint8_t *p2,
                          uint8_t *p3);

// One 32-bit word a pixel holding three 10-bit fields (the top two bits are
// unused): c0 takes bits 0-9, c1 bits 10-19, c2 bits 20-29. The unpack buffer
// `dst16` (skipped when null) receives the three fields of each pixel in that
// order. The three images' significant-bits counts become 10.
Terr ExtractRGB30Channels(uint64_t pixels, const void *src32, uint16_t *dst16, Tuint2_pixel *c0,
                          Tuint2_pixel *c1, Tuint2_pixel *c2);

// Three 16-bit words a pixel: c0 takes word 0, c1 word 1, c2 word 2. The
// three images' significant-bits counts become 12.
Terr ExtractRGB36Channels(uint64_t pixels, const void *src16, Tuint2_pixel *c0, Tuint2_pixel *c1,
                          Tuint2_pixel *c2);

// Gray pixels of 1, 2 or 4 bytes copied as they are.
Terr CopyGrayPixels(uint64_t pixels, uint32_t bytes_per_pixel, const void *src, void *dst);

}  // namespace grabline
