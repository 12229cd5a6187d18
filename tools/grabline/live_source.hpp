// live_source.hpp — the acquisition behind the live view. One thread owns the
// instance: it grabs, counts, and between grabs runs what the viewer asks of the
// plug-in, so the plug-in never sees two callers at once. Frames are copied out
// only when a viewer wants one, so watching does not slow the grabbing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "live_frame.hpp"
#include "param_catalogue.hpp"
#include "progress.hpp"
#include "tarvel_host.hpp"
#include "trigger_pulses.hpp"
#include "value_text.hpp"

namespace grabline::tool {

// free: the camera runs on its own and the board grabs continuously; software: one
// snap with one software trigger for each request; external: snaps that wait for the
// board's trigger input (which the tool pulses on the simulated board).
enum class TriggerMode { kFree, kSoftware, kExternal };
const char *TriggerModeName(TriggerMode mode);
std::optional<TriggerMode> TriggerModeNamed(std::string_view name);

struct TimingStatus {
  double exposure = 0;  // as the timing generator counts
  double period = 0;
  std::string trig_mode;  // freerun, oneshot_trigger, oneshot_encoder
  std::string polarity;   // high, low
  uint32_t output = 0;
};

struct LiveStatus {
  GrabCounts counts;
  double fps = 0;
  int32_t width = 0;  // of the last frame
  int32_t height = 0;
  int32_t channels = 0;
  int32_t bits = 0;
  std::string frame_time;  // of the last frame
  bool running = false;
  bool continuous = false;  // the board grabs on its own; else one snap at a time
  TriggerMode trigger = TriggerMode::kFree;
  std::string last_error;              // the last failed grab as the command line prints it
  std::optional<TimingStatus> timing;  // boards with a timing generator
};

// What the plug-in answered to a request of the viewer.
struct PluginAnswer {
  bool ok = true;
  Terr code = 0;
  std::string code_name;
  std::string message;  // as the command line prints a failure, "" on success
};

class LiveSource {
 public:
  // `board`: the simulated board the instance opened, for its trigger input and
  // timing generator; nullopt when it cannot be told.
  LiveSource(tarvel::Plugin &plugin, tarvel::Instance &instance, std::optional<uint32_t> board);
  ~LiveSource();
  LiveSource(const LiveSource &) = delete;
  LiveSource &operator=(const LiveSource &) = delete;

  // Sets the trigger mode and starts grabbing; false with the plug-in's answer.
  bool Start(TriggerMode mode, PluginAnswer *answer);
  // Ends grabbing and the thread; the counts stay readable.
  void Stop();

  LiveStatus Status() const;
  // The newest frame numbered above `after` (nullopt: any), waiting up to `wait` for
  // one; else the last frame copied, null before the first.
  std::shared_ptr<const LiveFrame> NextFrame(std::optional<uint64_t> after,
                                             std::chrono::milliseconds wait);

  PluginAnswer SetParam(const std::string &name, const std::vector<ParamValue> &values);
  PluginAnswer SetTrigger(TriggerMode mode);
  PluginAnswer SetRunning(bool running);
  // In software mode: one trigger, one snap. The answer says whether a frame came.
  PluginAnswer Trigger();
  // The parameters the information queries list (`only`: those of these names), each
  // with its current value where reading it does no harm.
  std::vector<ParamEntry> Params(const std::vector<std::string> &only = {});
  // Trigger pulses the tool sent to the board's input.
  uint64_t pulses() const { return pulses_.pulses(); }

 private:
  using Clock = std::chrono::steady_clock;
  // Runs `task` on the acquisition thread and waits for it; false when the thread
  // has ended (or was never started) and the task did not run.
  bool OnThread(const std::function<void()> &task);
  void Loop();
  bool Idle() const;  // under mutex_
  void GrabOne();
  void Deliver(const std::vector<tarvel::Image> &images);
  void UpdateRate();
  void ReadDropped();
  PluginAnswer Call(std::string_view what, Terr result);
  PluginAnswer Set(std::string_view name, const std::vector<ParamValue> &values);
  // Continuous grabbing stops for every change and starts again after it: a ring or
  // trigger change needs the board stopped.
  void LeaveContinuous();
  void EnterContinuous();
  PluginAnswer ApplyTrigger(TriggerMode mode);
  void LoadCatalogue();

  tarvel::Plugin &plugin_;
  tarvel::Instance &instance_;
  const std::optional<uint32_t> board_;
  TriggerPulses pulses_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // tasks, stop, a wanted frame
  std::condition_variable frame_ready_;
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
  bool frame_wanted_ = false;
  std::shared_ptr<const LiveFrame> latest_;
  LiveStatus status_;
  uint64_t dropped_before_ = 0;  // overwritten in earlier spells of continuous grabbing

  // The acquisition thread's own.
  std::vector<ParamEntry> catalogue_;  // without values
  uint64_t timeouts_in_row_ = 0;
  Clock::time_point rate_since_;
  uint64_t rate_frames_ = 0;
  Clock::time_point dropped_read_;
  Clock::time_point copied_at_;
  std::thread thread_;
};

}  // namespace grabline::tool
