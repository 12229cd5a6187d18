// lines.hpp — the board's digital lines: general-purpose outputs, input lines,
// and the registers that show them.
#pragma once

#include <cstdint>

#include "model/status.hpp"

namespace bfsim::model {

struct Board;
struct BoardConfig;

// Output lines the board has: 3 on a RoadRunner without Camera Link, 6 on
// other RoadRunners and on Ravens, 7 on the other families.
uint32_t OutputCount(const BoardConfig &config);
// Drives the outputs of `mask` high (level 1) or low (0); a mask outside the
// board's lines or another level is refused.
Status SetOutputs(Board &board, uint32_t mask, uint32_t level);
// What the output lines carry: a RoadRunner without Camera Link drives a
// line only while its output-enable register holds 1.
uint32_t OutputLevels(const Board &board);
// The registers that read the input lines and the outputs back.
void SyncLineRegisters(Board &board);
// The mode the board is triggered in: on Gn2 boards trigger register value 8
// hands the trigger to software, whatever the camera file says.
uint32_t EffectiveTriggerMode(const Board &board);

}  // namespace bfsim::model
