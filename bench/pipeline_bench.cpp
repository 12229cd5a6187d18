// The acquisition path end to end: the plug-in loaded by the host, grabbing
// from the simulated board. Continuous grabbing runs against a free-running
// camera (frames per second delivered, and drops); the plug-in's own time a
// frame is taken on the manual clock, where the simulator's fill of the
// frame is timed apart and left out.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bfsim_control.hpp"
#include "tarvel_host.hpp"

namespace grabline {
namespace {

using Clock = std::chrono::steady_clock;
constexpr Terr kOk = 2;  // the xl host's success code
constexpr uint32_t kBoard = 0;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A gray camera file of this size and rate, written once per process.
std::string CameraFile(int width, int height, int rate) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("grabline_bench_" + std::to_string(static_cast<long>(getpid())));
  std::filesystem::create_directories(dir);
  const auto path = dir / ("gray8_" + std::to_string(width) + "x" + std::to_string(height) + "_" +
                           std::to_string(rate) + ".cam");
  std::ofstream(path) << "width = " << width << "\nheight = " << height
                      << "\ndepth = 8\nframe_rate = " << rate << "\n";
  return path.string();
}

struct Session {
  std::unique_ptr<tarvel::Plugin> plugin;
  std::unique_ptr<tarvel::Instance> instance;
};

// Fresh simulator, plug-in loaded, board opened with `camera`; empty on failure.
Session OpenSession(benchmark::State &state, const std::string &camera) {
  setenv("TARVEL_PLUGIN_PATH", GRABLINE_PLUGIN_DIR, 0);
  bfsim::Reset();
  Session s;
  std::string error;
  s.plugin = tarvel::Plugin::Load(GRABLINE_PLUGIN_NAME, &error);
  if (!s.plugin) {
    state.SkipWithError(("plug-in not loaded: " + error).c_str());
    return s;
  }
  tarvel::Plugin::OpenParams params = s.plugin->Defaults();
  params.camera_type = camera;
  Terr code = 0;
  s.instance = s.plugin->Open(params, &code);
  if (!s.instance) state.SkipWithError(("open failed: " + std::to_string(code)).c_str());
  return s;
}

int64_t IntParam(tarvel::Instance &instance, const char *name) {
  std::vector<tarvel::Value> values;
  return instance.GetParam(name, &values) == kOk && !values.empty() ? values[0].i : -1;
}

// Pixel bytes the host owns in a grab's images: what was copied.
uint64_t CopiedBytes(const std::vector<tarvel::Image> &images) {
  uint64_t bytes = 0;
  for (const auto &image : images) {
    if (image.owned()) bytes += uint64_t(image.width()) * image.height() * image.bytes_per_pixel();
  }
  return bytes;
}

void Continuous(benchmark::State &state, int width, int height, int rate, bool volatile_mode,
                uint32_t buffers, int timed_frames) {
  bfsim::SetManualClock(kBoard, true);
  Session s = OpenSession(state, CameraFile(width, height, rate));
  if (!s.instance) return;
  tarvel::Instance &in = *s.instance;
  if (in.SetParam("num_buffers", tarvel::Value::Int(buffers)) != kOk ||
      in.SetParam("overwrite_method", tarvel::Value::Str("ignore")) != kOk ||
      (volatile_mode && in.SetParam("volatile", tarvel::Value::Str("enable")) != kOk)) {
    state.SkipWithError("parameters refused");
    return;
  }
  bfsim::SetManualClock(kBoard, true);
  if (in.SetParam("continuous_grabbing", tarvel::Value::Str("enable")) != kOk ||
      !bfsim::WaitArmed(kBoard, 5000)) {
    state.SkipWithError("continuous grabbing did not start");
    return;
  }
  std::vector<tarvel::Image> images;

  // One frame at a time: the simulator's fill, then the plug-in's part (the
  // worker's wake-up, the hand-off, the image) up to the grab's return.
  Clock::duration fill{}, plugin{};
  uint64_t copied = 0;
  for (int i = 0; i < timed_frames; ++i) {
    const auto t0 = Clock::now();
    bfsim::DeliverFrames(kBoard, 1);
    const auto t1 = Clock::now();
    if (in.Grab(&images) != kOk) {
      state.SkipWithError("grab failed on the manual clock");
      return;
    }
    plugin += Clock::now() - t1;
    fill += t1 - t0;
    copied += CopiedBytes(images);
  }

  // Free running at the camera's rate.
  const uint64_t produced_before = bfsim::FramesProduced(kBoard);
  bfsim::SetManualClock(kBoard, false);
  const auto start = Clock::now();
  for (auto _ : state) {
    if (in.Grab(&images) != kOk) {
      state.SkipWithError("grab failed while free running");
      break;
    }
  }
  const double elapsed = Seconds(Clock::now() - start);
  const uint64_t produced = bfsim::FramesProduced(kBoard) - produced_before;
  const int64_t dropped = IntParam(in, "num_buffers_overwritten");
  in.SetParam("continuous_grabbing", tarvel::Value::Str("disable"));
  in.Close();

  const double frames = static_cast<double>(state.iterations());
  state.counters["fps"] = frames / elapsed;
  state.counters["camera_fps"] = static_cast<double>(produced) / elapsed;
  state.counters["dropped"] = static_cast<double>(dropped);
  state.counters["plugin_us_per_frame"] = 1e6 * Seconds(plugin) / timed_frames;
  state.counters["sim_fill_us_per_frame"] = 1e6 * Seconds(fill) / timed_frames;
  state.counters["pixel_bytes_copied_per_frame"] = static_cast<double>(copied) / timed_frames;
}

// A snap from arming to the grab's return, the frame delivered as soon as
// the board is armed by a thread standing in for the camera.
void Snap(benchmark::State &state, int width, int height) {
  bfsim::SetManualClock(kBoard, true);
  Session s = OpenSession(state, CameraFile(width, height, 100));
  if (!s.instance) return;
  bfsim::SetManualClock(kBoard, true);
  std::atomic<bool> done{false};
  std::thread camera([&] {
    while (!done.load()) {
      if (bfsim::WaitArmed(kBoard, 20)) bfsim::DeliverFrames(kBoard, 1);
    }
  });
  std::vector<tarvel::Image> images;
  for (auto _ : state) {
    if (s.instance->Grab(&images) != kOk) {
      state.SkipWithError("snap failed");
      break;
    }
  }
  done = true;
  camera.join();
  s.instance->Close();
}

void OpenClose(benchmark::State &state) {
  const std::string camera = CameraFile(64, 64, 100);
  Clock::duration open{}, close{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    Session s = OpenSession(state, camera);
    if (!s.instance) break;
    const auto t1 = Clock::now();
    s.instance->Close();
    close += Clock::now() - t1;
    open += t1 - t0;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["open_ms"] = 1e3 * Seconds(open) / n;
  state.counters["close_ms"] = 1e3 * Seconds(close) / n;
}

const bool kRegistered = [] {
  struct Run {
    int width, height, rate;
    uint32_t buffers;
    int frames, timed;
  };
  for (const Run r : {Run{64, 64, 25000, 64, 150000, 2000}, Run{4096, 3072, 60, 4, 60, 10}}) {
    for (const bool v : {false, true}) {
      const std::string name = "Continuous/" + std::to_string(r.width) + "x" +
                               std::to_string(r.height) + (v ? "/volatile" : "/copy");
      benchmark::RegisterBenchmark(name.c_str(), Continuous, r.width, r.height, r.rate, v,
                                   r.buffers, r.timed)
          ->Iterations(r.frames)
          ->UseRealTime()
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::RegisterBenchmark("Snap/64x64", Snap, 64, 64)
      ->Iterations(2000)
      ->UseRealTime()
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("OpenClose", OpenClose)
      ->Iterations(5)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace grabline
