// frame_files.hpp — grabbed images and the contact sheet written as PNG files.
#pragma once

#include <string>
#include <vector>

#include "contact_sheet.hpp"
#include "samples.hpp"
#include "tarvel_host.hpp"

namespace grabline::tool {

PlaneView PlaneOf(const tarvel::Image &image);
// The planes one saved frame shows: the gray image, or images 0, 1 and 2 as red,
// green and blue (a fourth channel is not shown). Empty when the grab delivered a
// count or mix of images that is neither.
std::vector<PlaneView> FramePlanes(const std::vector<tarvel::Image> &images);

// One grabbed frame as a PNG: 8 or 16 bits as delivered, 32-bit gray as its upper 16 bits.
bool WriteFramePng(const std::string &path, const std::vector<tarvel::Image> &images,
                   std::string *error);
bool WriteSheetPng(const std::string &path, const SheetImage &sheet, std::string *error);

}  // namespace grabline::tool
