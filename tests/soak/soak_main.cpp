// Soak run: open-grab-close cycles in every mode, with varied rings, for as
// long as asked (--seconds N, else SOAK_SECONDS, else 600). Every frame is
// identified by its pattern; the ring's books must balance, and memory,
// threads and descriptors (handles) must stay flat. Exits 1 at the first violation.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bfsim_control.hpp"
#include "support/delivering.hpp"
#include "support/eventually.hpp"
#include "support/test_os.hpp"
#include "tarvel_host.hpp"

// The sanitizer's quarantine holds freed memory back; a small one lets the
// resident size show growth of our own instead of the quarantine filling up.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=8"; }

namespace {

using Clock = std::chrono::steady_clock;
using tarvel::Value;

[[noreturn]] void Violation(uint64_t cycle, const std::string &what) {
  std::fprintf(stderr, "soak: cycle %llu: %s\n", static_cast<unsigned long long>(cycle),
               what.c_str());
  std::exit(1);
}

using grabline::testing::OpenHandles;
using grabline::testing::ProcessThreads;
using grabline::testing::ResidentKiB;

// Threads end a moment after they report it; wait (bounded) for the system.
bool ThreadsBackTo(int baseline) {
  for (int i = 0; i < 2000 && ProcessThreads() > baseline; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return ProcessThreads() <= baseline;
}

// One open-grab-close cycle and the books it must leave.
class Cycle {
 public:
  Cycle(tarvel::Plugin &plugin, uint64_t number, uint64_t *frames)
      : plugin_(plugin), number_(number), frames_(frames) {}

  void Run() {
    Terr code = 0;
    instance_ = plugin_.Open(plugin_.Defaults(), &code);
    if (!instance_) Fail("open answered " + std::to_string(code));
    bfsim::SetManualClock(0, true);
    const uint32_t ring = 2 + number_ % 7;
    Expect(instance_->SetParam("num_buffers", Value::Int(ring)), "num_buffers");
    Expect(instance_->SetParam("grab_timeout", Value::Int(5000)), "grab_timeout");
    switch (number_ % 4) {
      case 0:
        Snaps(1 + number_ % 5);
        break;
      case 1:
        Async(1 + number_ % 3);
        break;
      case 2:
        Continuous(ring, "abort");
        break;
      default:
        Continuous(ring, "ignore");
        break;
    }
    Expect(instance_->Close(), "close");
    instance_.reset();
  }

 private:
  [[noreturn]] void Fail(const std::string &what) { Violation(number_, what); }
  void Expect(Terr code, const char *what) {
    if (code != T_MSG_OK) Fail(std::string(what) + " answered " + std::to_string(code));
  }
  int64_t Get(const char *name) {
    std::vector<Value> values;
    Expect(instance_->GetParam(name, &values), name);
    return values.empty() ? -1 : values[0].i;
  }

  // The image must be a frame after the last one taken and before the next
  // the board will produce, and carry that frame's pattern.
  void Taken(const std::vector<tarvel::Image> &images) {
    if (images.empty()) Fail("a grab returned no image");
    const tarvel::Image &image = images[0];
    const uint64_t produced = bfsim::FramesProduced(0);
    for (uint64_t f = next_frame_; f < produced; ++f) {
      bool match = true;
      for (int32_t x : {0, 1, image.width() - 1}) {
        for (int32_t y : {0, image.height() / 2, image.height() - 1}) {
          if (uint64_t(image.at(x, y)) != bfsim::PatternValue(f, x, y, 0, 8)) match = false;
        }
      }
      if (match) {
        next_frame_ = f + 1;
        ++taken_;
        ++*frames_;
        return;
      }
    }
    Fail("an image repeats an earlier frame, goes back, or carries no frame produced");
  }

  void Snaps(uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
      std::vector<tarvel::Image> images;
      Expect(grabline::testing::WhileDelivering([&] { return instance_->Grab(&images); }), "snap");
      Taken(images);
    }
  }

  void Async(uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
      std::vector<tarvel::Image> images;
      Expect(grabline::testing::WhileDelivering([&] {
               const Terr started = instance_->GrabStart(1e9);
               return started != T_MSG_OK ? started : instance_->GrabAsync(1e9, &images);
             }),
             "asynchronous grab");
      Taken(images);
    }
  }

  // Rounds of frames and grabs, ended by disabling with frames still in the
  // ring. Under 'abort' the board never catches up; under 'ignore' it does.
  void Continuous(uint32_t ring, const char *method) {
    const bool ignore = std::strcmp(method, "ignore") == 0;
    Expect(instance_->SetParam("overwrite_method", Value::Str(method)), "overwrite_method");
    Expect(instance_->SetParam("continuous_grabbing", Value::Str("enable")), "enable");
    if (!bfsim::WaitArmed(0, 5000)) Fail("the worker did not arm the board");
    const uint64_t start = bfsim::FramesProduced(0);
    next_frame_ = start;
    uint64_t delivered = 0;
    const int rounds = 3 + static_cast<int>(number_ % 5);
    for (int round = 0; round < rounds; ++round) {
      const int64_t pending = Get("next_buffer_acquired_abs") - Get("next_buffer_returned_abs");
      // Abort: stay one buffer below the margin; ignore: overrun the ring now and then.
      const uint32_t room = ignore ? ring + 2 : static_cast<uint32_t>(ring - 1 - pending);
      const uint32_t frames = room == 0 ? 0 : 1 + (number_ + round) % room;
      if (bfsim::DeliverFrames(0, frames) != frames) Fail("the board took fewer frames");
      delivered += frames;
      if (!grabline::testing::Eventually(
              [&] { return uint64_t(Get("next_buffer_acquired_abs")) >= delivered; })) {
        Fail("the worker did not take every frame");
      }
      const int64_t waiting = Get("next_buffer_acquired_abs") - Get("next_buffer_returned_abs");
      // Leave one behind in the last round: the stop comes with frames in the ring.
      const int64_t grabs = round + 1 == rounds ? waiting - 1 : waiting;
      for (int64_t g = 0; g < grabs; ++g) {
        std::vector<tarvel::Image> images;
        Expect(instance_->Grab(&images), "continuous grab");
        Taken(images);
      }
    }
    const uint64_t produced = bfsim::FramesProduced(0) - start;
    const auto acquired = uint64_t(Get("next_buffer_acquired_abs"));
    const auto returned = uint64_t(Get("next_buffer_returned_abs"));
    const auto overwritten = uint64_t(Get("num_buffers_overwritten"));
    if (acquired != produced) Fail("the worker's count differs from the frames produced");
    if (returned != taken_ + overwritten) Fail("returned differs from taken + overwritten");
    if (acquired - returned > ring) Fail("more frames wait than the ring holds");
    if (!ignore && overwritten != 0) Fail("'abort' dropped frames");
    Expect(instance_->SetParam("continuous_grabbing", Value::Str("disable")), "disable");
  }

  tarvel::Plugin &plugin_;
  uint64_t number_;
  uint64_t *frames_;
  std::unique_ptr<tarvel::Instance> instance_;
  uint64_t next_frame_ = 0;
  uint64_t taken_ = 0;
};

double Seconds(int argc, char **argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) return std::strtod(argv[i + 1], nullptr);
  }
  if (const char *env = std::getenv("SOAK_SECONDS")) return std::strtod(env, nullptr);
  return 600;
}

}  // namespace

int main(int argc, char **argv) {
  const double seconds = Seconds(argc, argv);
  bfsim::Reset();
  std::string error;
  auto plugin = tarvel::Plugin::Load(GRABLINE_PLUGIN_NAME, &error);
  if (!plugin) {
    std::fprintf(stderr, "soak: cannot load %s: %s\n", GRABLINE_PLUGIN_NAME, error.c_str());
    return 1;
  }
  const int threads = ProcessThreads();
  const int descriptors = OpenHandles();
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::duration<double>(seconds);
  // The allocators fill their caches and pools at first and then hold them:
  // flat means the second half of the run peaks no higher than the first.
  const auto half = start + std::chrono::duration<double>(seconds / 2);
  long rss_first = 0, rss_second = 0;
  uint64_t cycles = 0, frames = 0;
  while (Clock::now() < deadline || cycles < 8) {
    Cycle(*plugin, cycles, &frames).Run();
    ++cycles;
    // The simulator and the host keep logs for tests to read; they are ours, not the plug-in's.
    bfsim::ClearLogs();
    tarvel::ClearLogs();
    if (tarvel::OutstandingAllocations() != 0) Violation(cycles, "host allocations outstanding");
    if (tarvel::OutstandingImages() != 0) Violation(cycles, "host images outstanding");
    if (tarvel::OutstandingMutexes() != 0) Violation(cycles, "host mutexes outstanding");
    if (!ThreadsBackTo(threads)) Violation(cycles, "threads left running");
    if (OpenHandles() != descriptors) Violation(cycles, "file descriptors or handles changed");
    const long rss = ResidentKiB();
    long &peak = Clock::now() < half ? rss_first : rss_second;
    if (rss > peak) peak = rss;
  }
  const long growth = rss_second - rss_first;
  std::printf(
      "soak %s: %.0f s, %llu cycles, %llu frames; resident peak %ld kB in the first half, %ld kB "
      "in the second (growth %ld kB); threads %d, handles %d\n",
      GRABLINE_PLUGIN_NAME, std::chrono::duration<double>(Clock::now() - start).count(),
      static_cast<unsigned long long>(cycles), static_cast<unsigned long long>(frames), rss_first,
      rss_second, growth, ProcessThreads(), OpenHandles());
  // Flat means within a few pages of allocator noise, not a cycle's worth per minute.
  // A short run ends before the allocators' pools have settled; it reports
  // the figure and leaves the verdict to long runs.
  constexpr long kGrowthLimitKb = 8 * 1024;
  if (seconds >= 60 && growth > kGrowthLimitKb) Violation(cycles, "resident memory grew");
  return 0;
}
