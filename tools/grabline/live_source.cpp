#include "live_source.hpp"

#include <algorithm>
#include <future>

#include "bfsim_control.hpp"
#include "code_names.hpp"
#include "frame_files.hpp"
#include "param_catalogue.hpp"
#include "session.hpp"
#include "summary.hpp"

namespace grabline::tool {
namespace {

// A failed grab other than a time-out is not retried at once: the same failure would
// come again at once and fill the counts.
constexpr auto kPauseAfterError = std::chrono::milliseconds(200);
// How often an idle acquisition thread updates the rate, and the frame rate window.
constexpr auto kIdleTick = std::chrono::milliseconds(250);
constexpr auto kRateWindow = std::chrono::milliseconds(500);
constexpr auto kDroppedReadEvery = std::chrono::milliseconds(100);
constexpr auto kCopyEvery = std::chrono::milliseconds(100);

FrameTime TimeOf(const tarvel::Image &image) {
  const Timage &r = image.record();
  return FrameTime{r.year, r.mon, r.day, r.hour, r.min, r.sec, r.msec};
}

const char *TimingTrigMode(uint32_t code) {
  switch (code) {
    case 0:
      return "freerun";
    case 1:
      return "oneshot_trigger";
    case 2:
      return "oneshot_encoder";
    default:
      return "";
  }
}

PluginAnswer Stopped() {
  PluginAnswer answer;
  answer.ok = false;
  answer.message = "the acquisition has ended";
  return answer;
}

}  // namespace

const char *TriggerModeName(TriggerMode mode) {
  switch (mode) {
    case TriggerMode::kFree:
      return "free";
    case TriggerMode::kSoftware:
      return "software";
    case TriggerMode::kExternal:
      return "external";
  }
  return "";
}

std::optional<TriggerMode> TriggerModeNamed(std::string_view name) {
  for (TriggerMode mode : {TriggerMode::kFree, TriggerMode::kSoftware, TriggerMode::kExternal}) {
    if (name == TriggerModeName(mode)) return mode;
  }
  return std::nullopt;
}

LiveSource::LiveSource(tarvel::Plugin &plugin, tarvel::Instance &instance,
                       std::optional<uint32_t> board)
    : plugin_(plugin), instance_(instance), board_(board) {}

LiveSource::~LiveSource() { Stop(); }

bool LiveSource::Start(TriggerMode mode, PluginAnswer *answer) {
  // Before the board runs: reading it while grabbing would hold up the grabs.
  LoadCatalogue();
  rate_since_ = Clock::now();
  dropped_read_ = rate_since_;
  *answer = ApplyTrigger(mode);
  if (!answer->ok) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.running = true;
  }
  EnterContinuous();
  thread_ = std::thread([this] { Loop(); });
  return true;
}

void LiveSource::Stop() {
  if (!thread_.joinable()) return;
  OnThread([this] {
    LeaveContinuous();
    std::lock_guard<std::mutex> lock(mutex_);
    status_.running = false;
    stop_ = true;
  });
  thread_.join();
  pulses_.Stop();
  frame_ready_.notify_all();
}

bool LiveSource::OnThread(const std::function<void()> &task) {
  std::packaged_task<void()> job(task);
  std::future<void> done = job.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_) return false;
    tasks_.emplace_back([&job] { job(); });
  }
  wake_.notify_all();
  done.wait();
  return true;
}

bool LiveSource::Idle() const {
  return !status_.running || status_.trigger == TriggerMode::kSoftware;
}

void LiveSource::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    while (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
    if (stop_) break;
    if (Idle()) {
      wake_.wait_for(lock, kIdleTick, [this] { return stop_ || !tasks_.empty(); });
      lock.unlock();
      UpdateRate();
      lock.lock();
      continue;
    }
    lock.unlock();
    GrabOne();
    lock.lock();
  }
}

void LiveSource::GrabOne() {
  StartOperation();
  std::vector<tarvel::Image> images;
  const Terr result = instance_.Grab(&images);
  if (Succeeded(result)) {
    timeouts_in_row_ = 0;
    Deliver(images);
  } else {
    const std::vector<std::string> lines = FailureLines("grab", result);
    std::unique_lock<std::mutex> lock(mutex_);
    status_.last_error = lines[0];
    if (result == kCodeTimeout) {
      ++status_.counts.timeouts;
    } else {
      ++status_.counts.errors;
      wake_.wait_for(lock, kPauseAfterError, [this] { return stop_ || !tasks_.empty(); });
    }
  }
  UpdateRate();
  if (status_.continuous && Clock::now() - dropped_read_ >= kDroppedReadEvery) ReadDropped();
}

void LiveSource::Deliver(const std::vector<tarvel::Image> &images) {
  const std::vector<PlaneView> planes = FramePlanes(images, instance_.record().bits_per_channel);
  std::lock_guard<std::mutex> lock(mutex_);
  if (planes.empty()) {
    ++status_.counts.errors;
    status_.last_error = "grab: the plug-in delivered " + std::to_string(images.size()) +
                         " images that make no frame";
    return;
  }
  const uint64_t number = status_.counts.frames++;
  for (const tarvel::Image &image : images) {
    status_.counts.bytes +=
        uint64_t(image.width()) * uint64_t(image.height()) * image.bytes_per_pixel();
  }
  status_.frame_time = FormatFrameTime(TimeOf(images[0]));
  status_.width = planes[0].width;
  status_.height = planes[0].height;
  status_.channels = static_cast<int32_t>(images.size());
  status_.bits = planes[0].significant_bits;
  // Copied when a viewer waits for it, and now and then besides, so that the last
  // frame of a run that stopped or of a trigger nobody watched can still be shown.
  const Clock::time_point now = Clock::now();
  if (!frame_wanted_ && now - copied_at_ < kCopyEvery) return;
  frame_wanted_ = false;
  copied_at_ = now;
  latest_ = std::make_shared<const LiveFrame>(LiveFrame::Copy(number, status_.frame_time, planes));
  frame_ready_.notify_all();
}

void LiveSource::UpdateRate() {
  const Clock::time_point now = Clock::now();
  if (now - rate_since_ < kRateWindow) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const double seconds = std::chrono::duration<double>(now - rate_since_).count();
  status_.fps = double(status_.counts.frames - rate_frames_) / seconds;
  rate_frames_ = status_.counts.frames;
  rate_since_ = now;
}

void LiveSource::ReadDropped() {
  dropped_read_ = Clock::now();
  std::vector<tarvel::Value> overwritten;
  if (!Succeeded(instance_.GetParam("num_buffers_overwritten", &overwritten)) ||
      overwritten.size() != 1 || overwritten[0].type != tarvel::Value::Type::kInt ||
      overwritten[0].i < 0) {
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  status_.counts.dropped = dropped_before_ + uint64_t(overwritten[0].i);
}

LiveStatus LiveSource::Status() const {
  LiveStatus status;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status = status_;
  }
  if (board_) {
    if (const std::optional<bfsim::TimingDesc> timing = bfsim::TimingGenerator(*board_)) {
      status.timing =
          TimingStatus{timing->exposure, timing->period, TimingTrigMode(timing->trig_mode),
                       timing->assert_high != 0 ? "high" : "low", timing->output};
    }
  }
  return status;
}

std::shared_ptr<const LiveFrame> LiveSource::NextFrame(std::optional<uint64_t> after,
                                                       std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto newer = [&] { return latest_ != nullptr && (!after || latest_->number > *after); };
  if (newer() && after) return latest_;
  frame_wanted_ = true;
  frame_ready_.wait_for(lock, wait, [&] { return stop_ || (newer() && !frame_wanted_); });
  return latest_;
}

PluginAnswer LiveSource::Call(std::string_view what, Terr result) {
  PluginAnswer answer;
  answer.ok = Succeeded(result);
  answer.code = result;
  answer.code_name = CodeName(result);
  if (!answer.ok) {
    for (const std::string &line : FailureLines(what, result)) {
      answer.message += (answer.message.empty() ? "" : "\n") + line;
    }
  }
  return answer;
}

PluginAnswer LiveSource::Set(std::string_view name, const std::vector<ParamValue> &values) {
  StartOperation();
  return Call(name, instance_.SetParam(name, ToHost(values)));
}

void LiveSource::LeaveContinuous() {
  if (!status_.continuous) return;
  ReadDropped();
  Set("continuous_grabbing", {ParamValue::Str("disable")});
  std::lock_guard<std::mutex> lock(mutex_);
  status_.continuous = false;
  // The board counts again from 0 when continuous grabbing starts.
  dropped_before_ = status_.counts.dropped;
}

void LiveSource::EnterContinuous() {
  if (!status_.running || status_.trigger != TriggerMode::kFree) return;
  // A build without continuous grabbing snaps instead.
  const bool on = Set("continuous_grabbing", {ParamValue::Str("enable")}).ok;
  std::lock_guard<std::mutex> lock(mutex_);
  status_.continuous = on;
}

PluginAnswer LiveSource::ApplyTrigger(TriggerMode mode) {
  const TriggerMode old = status_.trigger;
  PluginAnswer answer;
  switch (mode) {
    case TriggerMode::kFree:
      if (old == TriggerMode::kSoftware)
        answer = Set("software_trigger", {ParamValue::Str("disable")});
      if (answer.ok && old == TriggerMode::kExternal) {
        answer = Set("external_trigger", {ParamValue::Str("disable")});
      }
      break;
    case TriggerMode::kSoftware:
      answer = Set("software_trigger", {ParamValue::Str("enable")});
      break;
    case TriggerMode::kExternal:
      answer = Set("external_trigger", {ParamValue::Str("enable")});
      break;
  }
  if (!answer.ok) return answer;
  if (mode == TriggerMode::kExternal && board_) {
    pulses_.Start(*board_, kDefaultPulseRate);  // as grab pulses by default
  } else {
    pulses_.Stop();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  status_.trigger = mode;
  return answer;
}

PluginAnswer LiveSource::SetParam(const std::string &name, const std::vector<ParamValue> &values) {
  PluginAnswer answer = Stopped();
  OnThread([&] {
    LeaveContinuous();
    answer = Set(name, values);
    EnterContinuous();
  });
  return answer;
}

PluginAnswer LiveSource::SetTrigger(TriggerMode mode) {
  PluginAnswer answer = Stopped();
  OnThread([&] {
    LeaveContinuous();
    answer = ApplyTrigger(mode);
    EnterContinuous();
  });
  return answer;
}

PluginAnswer LiveSource::SetRunning(bool running) {
  const bool done = OnThread([&] {
    LeaveContinuous();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      status_.running = running;
    }
    EnterContinuous();
  });
  return done ? PluginAnswer{} : Stopped();
}

PluginAnswer LiveSource::Trigger() {
  PluginAnswer answer = Stopped();
  OnThread([&] {
    if (status_.trigger != TriggerMode::kSoftware || !status_.running) {
      answer.ok = false;
      answer.message = "trigger: only in software trigger mode while running";
      return;
    }
    answer = PluginAnswer{};
    uint64_t before = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      before = status_.counts.frames;
    }
    GrabOne();
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_.counts.frames == before) {
      answer.ok = false;
      answer.message = status_.last_error;
    }
  });
  return answer;
}

void LiveSource::LoadCatalogue() {
  std::string why;
  if (ListParams(plugin_, &catalogue_, &why)) DescribeParams(instance_, &catalogue_);
}

std::vector<ParamEntry> LiveSource::Params(const std::vector<std::string> &only) {
  std::vector<ParamEntry> entries;
  OnThread([&] {
    // The names, descriptions and value lists do not change while the instance is
    // open; only the values are read each time, so that asking costs the grabbing
    // little.
    for (const ParamEntry &known : catalogue_) {
      if (!only.empty() && std::find(only.begin(), only.end(), known.name) == only.end()) {
        continue;
      }
      ParamEntry entry = known;
      std::vector<tarvel::Value> values;
      StartOperation();
      if (HarmlessToRead(entry.name) && Succeeded(instance_.GetParam(entry.name, &values))) {
        entry.value = FromHost(values);
      }
      entries.push_back(std::move(entry));
    }
    StartOperation();
  });
  return entries;
}

}  // namespace grabline::tool
