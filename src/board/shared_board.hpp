// shared_board.hpp — re-applying an instance's board-wide settings on a board
// that several instances share.
#pragma once

#include "tarvel.h"

namespace grabline {

// Makes the board hold this instance's camera and trigger connection before
// the instance uses it. Does nothing while the instance is alone on its board.
Terr SetInstParam(TFgInstance *fginst);

}  // namespace grabline
