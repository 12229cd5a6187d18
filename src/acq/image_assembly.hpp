// image_assembly.hpp — one filled ring buffer becomes host images: gray
// images copied or laid over the buffer, colour pixels split into channel
// images, several frames stacked in print-grab mode.
#pragma once

#include <cstdint>

#include "platform/os.hpp"
#include "tarvel.h"

namespace grabline {

// Fills image[0..n-1] from ring buffer `read_buffer`, sets *num_image to n.
// In continuous grabbing the buffer is handed back to the ring at the end.
Terr AssembleImages(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image,
                    uint32_t read_buffer);

// Stamps an image with the local time of its frame.
void SetImageTime(Timage &image, const os::LocalTime &t);

}  // namespace grabline
