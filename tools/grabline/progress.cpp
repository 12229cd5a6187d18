#include "progress.hpp"

#include <algorithm>
#include <cstdio>

namespace grabline::tool {
namespace {

constexpr int kMaxBarWidth = 100;

std::string FrameCount(const ProgressView &view) {
  char buffer[64];
  if (view.frames_target > 0) {
    std::snprintf(buffer, sizeof(buffer), "%llu/%llu frames",
                  static_cast<unsigned long long>(view.counts.frames),
                  static_cast<unsigned long long>(view.frames_target));
  } else {
    std::snprintf(buffer, sizeof(buffer), "%llu frames",
                  static_cast<unsigned long long>(view.counts.frames));
  }
  return buffer;
}

// Rates, drops and time-outs, with `separator` between the figures.
std::string Figures(const ProgressView &view, const char *separator) {
  char buffer[192];
  std::snprintf(buffer, sizeof(buffer), "%.1f fps%s%.2f MB/s%s%llu dropped%s%llu time-outs",
                PerSecond(double(view.counts.frames), view.seconds), separator,
                PerSecond(double(view.counts.bytes), view.seconds) / 1e6, separator,
                static_cast<unsigned long long>(view.counts.dropped), separator,
                static_cast<unsigned long long>(view.counts.timeouts));
  return buffer;
}

}  // namespace

double PerSecond(double amount, double seconds) { return seconds > 0 ? amount / seconds : 0; }

double ProgressFraction(const ProgressView &view) {
  double fraction = 0;
  if (view.frames_target > 0) {
    fraction = double(view.counts.frames) / double(view.frames_target);
  }
  if (view.seconds_target > 0) fraction = std::max(fraction, view.seconds / view.seconds_target);
  return std::clamp(fraction, 0.0, 1.0);
}

std::string ProgressBar(const ProgressView &view, int bar_width) {
  const int width = std::clamp(bar_width, 0, kMaxBarWidth);
  const int filled = static_cast<int>(ProgressFraction(view) * width);
  std::string line = "[";
  line.append(size_t(filled), '#');
  line.append(size_t(width - filled), '.');
  line += "]  " + FrameCount(view) + "  " + Figures(view, "  ");
  return line;
}

std::string ProgressLine(const ProgressView &view) {
  char seconds[32];
  std::snprintf(seconds, sizeof(seconds), "%.1f s", view.seconds);
  return "grab: " + FrameCount(view) + ", " + seconds + ", " + Figures(view, ", ");
}

}  // namespace grabline::tool
