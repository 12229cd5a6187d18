// frame_files.hpp — grabbed images and the contact sheet written as PNG files.
#pragma once

#include <string>
#include <vector>

#include "contact_sheet.hpp"
#include "samples.hpp"
#include "tarvel_host.hpp"

namespace grabline::tool {

// An image as a plane of samples. 32-bit images carry no depth of their own; `depth`
// is the instance's bits per channel, which tells how many of their bits count.
PlaneView PlaneOf(const tarvel::Image &image, int depth);
// The planes one saved frame shows: the gray image, or images 0, 1 and 2 as red,
// green and blue (a fourth channel is not shown). Empty when the grab delivered a
// count or mix of images that is neither.
std::vector<PlaneView> FramePlanes(const std::vector<tarvel::Image> &images, int depth);

// One grabbed frame as a PNG: 8 or 16 bits as delivered; deeper gray as its top 16 bits.
bool WriteFramePng(const std::string &path, const std::vector<tarvel::Image> &images, int depth,
                   std::string *error);
// Planes kept apart from the plug-in's images (gray, or red, green, blue), written the
// same way.
bool WritePlanesPng(const std::string &path, const std::vector<PlaneView> &planes,
                    std::string *error);
bool WriteSheetPng(const std::string &path, const SheetImage &sheet, std::string *error);

}  // namespace grabline::tool
