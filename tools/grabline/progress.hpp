// progress.hpp — the live figures of a grab: a bar for a terminal, plain periodic
// lines for logs and pipes.
#pragma once

#include <cstdint>
#include <string>

namespace grabline::tool {

struct GrabCounts {
  uint64_t frames = 0;    // delivered
  uint64_t bytes = 0;     // pixel bytes of the delivered images
  uint64_t dropped = 0;   // frames the board overwrote before they were taken
  uint64_t timeouts = 0;  // grabs that ended in a time-out
  uint64_t errors = 0;    // grabs that failed otherwise
  uint64_t saved = 0;     // frames written as PNG
};

struct ProgressView {
  GrabCounts counts;
  double seconds = 0;          // since the grab started
  uint64_t frames_target = 0;  // 0: no frame count asked
  double seconds_target = 0;   // 0: no duration asked
};

// amount / seconds, 0 before any time has passed.
double PerSecond(double amount, double seconds);
// How far the grab is, 0 to 1: the larger of the frame and the time fractions.
double ProgressFraction(const ProgressView &view);

// "[#######.............]  12/30 frames  29.8 fps  9.21 MB/s  0 dropped  0 time-outs";
// `bar_width` is clamped to 0..100 cells.
std::string ProgressBar(const ProgressView &view, int bar_width);
// "grab: 12/30 frames, 0.4 s, 29.8 fps, 9.21 MB/s, 0 dropped, 0 time-outs"
std::string ProgressLine(const ProgressView &view);

// Says when the next progress output is due, at most once per interval.
class ProgressPacer {
 public:
  explicit ProgressPacer(double interval) : interval_(interval), next_(interval) {}
  bool Due(double now) {
    if (now < next_) return false;
    next_ = now + interval_;
    return true;
  }

 private:
  double interval_;
  double next_;
};

}  // namespace grabline::tool
