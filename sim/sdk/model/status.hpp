// status.hpp — outcomes of board-model operations. The SDK layer turns them
// into the SDK's error numbers; the model itself never sees those.
#pragma once

#include <cstdint>

namespace bfsim::model {

enum class Status : uint8_t {
  kOk,
  kNoBoard,     // no board at that family/index or switch/connector
  kBadArg,      // unknown handle, out-of-range value
  kBadFamily,   // a family code that names no family
  kHeld,        // board held by another process
  kNoCamera,    // camera file missing or unreadable
  kBadItem,     // inquiry item the board cannot answer
  kSignalGone,  // signal never created or already freed
  kDriverNotReady,
};

}  // namespace bfsim::model
