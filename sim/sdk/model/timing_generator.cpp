#include "model/timing_generator.hpp"

namespace bfsim::model {
namespace {

// NaN fails every comparison and so lands outside the range.
bool Within(double value, double low, double high) { return value >= low && value <= high; }

}  // namespace

TimingCheck CheckTiming(const TimingSettings &s) {
  if (s.trig_mode > kMaxTimingMode) return TimingCheck::kBadMode;
  if (!Within(s.exposure, 0.0, kMaxTimingMicros) || !Within(s.period, 1.0, kMaxTimingMicros) ||
      s.assert_high > 1 || s.output > kMaxTimingOutput) {
    return TimingCheck::kOutOfRange;
  }
  if (s.exposure > s.period) return TimingCheck::kExposureLong;
  return TimingCheck::kOk;
}

}  // namespace bfsim::model
