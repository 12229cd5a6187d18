// trigger_modes.hpp — what the plug-in reads from a camera file's trigger
// mode, and the one way it makes a camera file of another mode wait for the
// external trigger.
#pragma once

#include <cstdint>

#include "bfsdk.h"

namespace grabline {

// Camera files made for triggering: they wait for a trigger by themselves.
inline bool TriggeredFile(uint32_t mode) {
  return mode == BF_TRIGMODE_ONE_SHOT || mode == BF_TRIGMODE_ONE_SHOT_SELF_TIMED ||
         mode == BF_TRIGMODE_START_STOP || mode == BF_TRIGMODE_START_STOP_2;
}

// Start/stop camera files: frames of varying length, with signals of their own.
inline bool StartStopFile(uint32_t mode) {
  return mode == BF_TRIGMODE_START_STOP || mode == BF_TRIGMODE_START_STOP_2;
}

inline BFRC SetTriggeredMode(Bd board) {
  return CiConVTrigModeSet(board, BF_TRIGMODE_TRIGGERED, BF_TRIGGERED_A, BF_TRIGGERED_B,
                           BF_TRIGGERED_C);
}

}  // namespace grabline
