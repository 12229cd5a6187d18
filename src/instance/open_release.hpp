// open_release.hpp — undoing a failed FGOpen: everything the open made is
// released and the record is free again.
#pragma once

#include "tarvel.h"

namespace grabline {

struct OpenRelease {
  Tproc_handle proc_id;
  TFgInstance *fginst;
  bool opened_here = false;  // this open opened the board
  bool counted = false;      // the instance was counted as open

  // Releases and returns `code` (or a failing host result met on the way).
  Terr operator()(Terr code);
};

}  // namespace grabline
