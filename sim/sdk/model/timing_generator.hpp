// timing_generator.hpp — the board's timing generator: exposure and period of
// the pulses it sends the camera, and how it is triggered.
#pragma once

#include <cstdint>

namespace bfsim::model {

// Settings in microseconds; what a board has after it is opened.
struct TimingSettings {
  double exposure = 1000.0;
  double period = 10000.0;
  uint32_t trig_mode = 0;    // 0 free running, 1 one-shot on the trigger, 2 on the encoder
  uint32_t assert_high = 1;  // polarity of the output
  uint32_t output = 0;       // output signals driven, 8 bits
};

inline constexpr double kMaxTimingMicros = 10'000'000.0;  // 10 s
inline constexpr uint32_t kMaxTimingMode = 2;
inline constexpr uint32_t kMaxTimingOutput = 0xFF;

enum class TimingCheck : uint8_t { kOk, kNotSupported, kOutOfRange, kExposureLong, kBadMode };

// Why the generator would refuse `settings` (checked in this order: mode,
// range, exposure against period); a refused setting changes nothing.
TimingCheck CheckTiming(const TimingSettings &settings);

}  // namespace bfsim::model
