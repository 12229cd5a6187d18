// open_request.hpp — what an open asks for, read from the host's instance
// record before any board is touched. No SDK, no host: a pure function.
#pragma once

#include <charconv>
#include <cstddef>
#include <string_view>

#include "plugin/result_codes.hpp"
#include "tarvel.h"

namespace grabline {

struct OpenRequest {
  // Refusals, each reported at its point of the open (FG_OK: none), so that
  // a request with several faults gets the answer the first check gives.
  Terr names = FG_OK;     // device or camera-file name too long for the records
  Terr settings = FG_OK;  // port, bits per channel or colour space
  // The generic "show_error_dlg[:n]" switch: 1 on, 0 off, -1 not given.
  int show_error_dlg = -1;
};

// Sizes of the record fields that keep the device and camera-file names,
// with their NUL.
struct OpenLimits {
  size_t device;
  size_t camera_file;
};

// A decimal number filling all of `text`; false for anything else.
template <typename T>
bool ParseNumber(std::string_view text, T *value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

// Reads the request. The record's text fields are NUL-terminated in place
// first: the host may have filled them to the last byte.
OpenRequest ParseOpenRequest(TFgInstance &fginst, const OpenLimits &limits);

}  // namespace grabline
