// grabline grab: open, configure, grab, save, report.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "code_names.hpp"
#include "commands.hpp"
#include "frame_files.hpp"
#include "session.hpp"
#include "summary.hpp"
#include "trigger_pulses.hpp"

namespace grabline::tool {
namespace {

// Time-outs in a row after which nothing is taken to be coming.
constexpr uint64_t kTimeoutsInARow = 3;
constexpr int kBarWidth = 24;

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read by a signal handler");

void OnInterrupt(int) { interrupted.store(true, std::memory_order_relaxed); }

// The first Ctrl-C ends the run after the grab under way, with the summary and the
// contact sheet; a second one ends the process.
void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

const char *TriggerName(TriggerSource source) {
  switch (source) {
    case TriggerSource::kCamera:
      return "camera";
    case TriggerSource::kSoftware:
      return "software";
    case TriggerSource::kExternal:
      return "external";
  }
  return "?";
}

const char *ModeName(GrabMode mode) {
  switch (mode) {
    case GrabMode::kSnap:
      return "snap";
    case GrabMode::kAsync:
      return "async";
    case GrabMode::kContinuous:
      return "continuous";
  }
  return "?";
}


// The parameters the options ask for, in a fixed order before the first grab: ring,
// time-out, volatile, the defaults of continuous grabbing, every --set in the order
// given (so that they win), then the mode.
bool Configure(tarvel::Instance &instance, const Options &options) {
  const bool continuous = options.mode == GrabMode::kContinuous;
  std::optional<int32_t> buffers = options.buffers;
  if (!buffers && continuous) buffers = kContinuousBuffers;
  if (buffers && !SetParam(instance, "num_buffers", {ParamValue::Int(*buffers)})) return false;
  if (options.timeout_ms &&
      !SetParam(instance, "grab_timeout", {ParamValue::Int(*options.timeout_ms)})) {
    return false;
  }
  if (options.volatile_images && !SetParam(instance, "volatile", {ParamValue::Str("enable")})) {
    return false;
  }
  if (options.trigger == TriggerSource::kSoftware &&
      !SetParam(instance, "software_trigger", {ParamValue::Str("enable")})) {
    return false;
  }
  if (options.trigger == TriggerSource::kExternal &&
      !SetParam(instance, "external_trigger", {ParamValue::Str("enable")})) {
    return false;
  }
  // A tool that falls behind should count the frames it lost, not stop the board.
  if (continuous && !SetsParam(options, "overwrite_method") &&
      !SetParam(instance, "overwrite_method", {ParamValue::Str("ignore")})) {
    return false;
  }
  for (const ParamOp &op : options.ops) {
    if (!SetParam(instance, op.name, op.values)) return false;
  }
  if (!continuous) return true;
  StartOperation();
  const Terr result = instance.SetParam("continuous_grabbing", tarvel::Value::Str("enable"));
  if (Succeeded(result)) return true;
  ReportFailure("continuous_grabbing", result);
  if (result == kCodeUnsupported) {
    std::fprintf(stderr,
                 "  --mode continuous: this build of the plug-in does not grab continuously; "
                 "--mode snap and --mode async do\n");
  }
  return false;
}

FrameTime TimeOf(const tarvel::Image &image) {
  const Timage &r = image.record();
  return FrameTime{r.year, r.mon, r.day, r.hour, r.min, r.sec, r.msec};
}

class GrabRun {
 public:
  // Fills in `summary` as the run goes.
  GrabRun(const Options &options, const ToolContext &context, tarvel::Instance &instance,
          GrabSummary &summary)
      : options_(options),
        context_(context),
        instance_(instance),
        summary_(summary),
        depth_(instance.record().bits_per_channel) {}

  void Run();
  // Ends continuous grabbing, writes the contact sheet; returns the exit status.
  int Finish();

 private:
  double Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  bool Done() const {
    if (options_.frames > 0 && counts_.frames >= options_.frames) return true;
    return options_.duration > 0 && Elapsed() >= options_.duration;
  }
  bool GrabOne();
  bool Deliver(const std::vector<tarvel::Image> &images);
  void Fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
  }
  // Failures print on a line of their own, not after the bar.
  void ClearBar() {
    if (context_.terminal) std::fputs("\r\x1b[K", stderr);
  }
  // A failure of the tool's own, printed as it happens.
  void Report(std::string text) {
    ClearBar();
    std::fprintf(stderr, "%s\n", text.c_str());
    Fail(std::move(text));
  }
  void ShowProgress(bool last);

  const Options &options_;
  const ToolContext &context_;
  tarvel::Instance &instance_;
  std::chrono::steady_clock::time_point start_;
  GrabCounts counts_;
  uint64_t timeouts_in_row_ = 0;
  ContactSheet sheet_;
  GrabSummary &summary_;
  const int depth_;  // bits per channel the instance opened with
  std::string error_;
};

void GrabRun::Run() {
  CatchInterrupt();
  start_ = std::chrono::steady_clock::now();
  ProgressPacer pacer(context_.terminal ? 0.1 : 1.0);
  if (options_.mode == GrabMode::kAsync) {
    StartOperation();
    const Terr result = instance_.GrabStart(options_.max_age_ms);
    if (!Succeeded(result)) {
      ReportFailure("grab start", result);
      Fail("grab start: " + CodeText(result));
      return;
    }
  }
  while (!Done()) {
    if (interrupted.load(std::memory_order_relaxed)) {
      Fail("interrupted");
      break;
    }
    if (!GrabOne()) break;
    if (pacer.Due(Elapsed())) ShowProgress(false);
  }
  ShowProgress(true);
}

bool GrabRun::GrabOne() {
  StartOperation();
  std::vector<tarvel::Image> images;
  const Terr result = options_.mode == GrabMode::kAsync
                          ? instance_.GrabAsync(options_.max_age_ms, &images)
                          : instance_.Grab(&images);
  if (Succeeded(result)) {
    timeouts_in_row_ = 0;
    return Deliver(images);
  }
  if (result == kCodeTimeout) {
    ++counts_.timeouts;
    if (++timeouts_in_row_ < kTimeoutsInARow) return true;
    ClearBar();
    ReportFailure("grab", result);
    Fail("grab: " + CodeText(result) + " " + std::to_string(kTimeoutsInARow) + " times in a row");
    return false;
  }
  ++counts_.errors;
  ClearBar();
  ReportFailure("grab", result);
  Fail("grab: " + CodeText(result));
  return false;
}

bool GrabRun::Deliver(const std::vector<tarvel::Image> &images) {
  const std::vector<PlaneView> planes = FramePlanes(images, depth_);
  if (planes.empty()) {
    ++counts_.errors;
    Report("grab: the plug-in delivered " + std::to_string(images.size()) +
           " images that make no frame");
    return false;
  }
  const uint64_t number = counts_.frames++;
  for (const tarvel::Image &image : images) {
    counts_.bytes += uint64_t(image.width()) * uint64_t(image.height()) * image.bytes_per_pixel();
  }
  const std::string time = FormatFrameTime(TimeOf(images[0]));
  if (number == 0) summary_.first_time = time;
  summary_.last_time = time;
  summary_.width = images[0].width();
  summary_.height = images[0].height();
  summary_.channels = static_cast<int32_t>(images.size());
  summary_.bits = planes[0].significant_bits;
  if (options_.every == 0 || number % options_.every != 0) return true;

  char name[48];
  std::snprintf(name, sizeof(name), "frame_%06llu.png", static_cast<unsigned long long>(number));
  const std::string path = (std::filesystem::path(options_.out) / name).string();
  std::string why;
  if (!WriteFramePng(path, images, depth_, &why)) {
    Report("write " + Printable(path) + ": " + Printable(why));
    return false;
  }
  const uint64_t ordinal = counts_.saved++;
  Thumbnail thumbnail;
  if (sheet_.Wants(ordinal) && MakeThumbnail(planes, kThumbnailSide, &thumbnail)) {
    sheet_.Add(ordinal, std::move(thumbnail));
  }
  return true;
}

void GrabRun::ShowProgress(bool last) {
  // The board counts what it overwrote; the live figure comes from there, quietly:
  // a failed read only leaves the last figure, the summary reports a failure.
  if (options_.mode == GrabMode::kContinuous) {
    std::vector<tarvel::Value> overwritten;
    if (Succeeded(instance_.GetParam("num_buffers_overwritten", &overwritten)) &&
        overwritten.size() == 1 && overwritten[0].type == tarvel::Value::Type::kInt &&
        overwritten[0].i >= 0) {
      counts_.dropped = uint64_t(overwritten[0].i);
    }
  }
  ProgressView view{counts_, Elapsed(), options_.frames, options_.duration};
  if (context_.terminal) {
    std::fprintf(stderr, "\r%s\x1b[K%s", ProgressBar(view, kBarWidth).c_str(), last ? "\n" : "");
  } else if (!last) {
    std::fprintf(stderr, "%s\n", ProgressLine(view).c_str());
  }
  std::fflush(stderr);
}

int GrabRun::Finish() {
  summary_.seconds = Elapsed();
  if (options_.mode == GrabMode::kContinuous) {
    std::vector<ParamValue> overwritten;
    if (GetParam(instance_, "num_buffers_overwritten", &overwritten) && overwritten.size() == 1 &&
        overwritten[0].type == ParamValue::Type::kInt && overwritten[0].i >= 0) {
      counts_.dropped = uint64_t(overwritten[0].i);
    }
    if (!SetParam(instance_, "continuous_grabbing", {ParamValue::Str("disable")})) {
      Fail("continuous_grabbing: cannot disable");
    }
  }
  SheetImage sheet;
  if (sheet_.Compose(&sheet)) {
    const std::string path = (std::filesystem::path(options_.out) / "contact_sheet.png").string();
    std::string why;
    if (WriteSheetPng(path, sheet, &why)) {
      summary_.contact_sheet = path;
    } else {
      Report("write " + Printable(path) + ": " + Printable(why));
    }
  }
  summary_.counts = counts_;
  summary_.error = error_;
  if (error_ == "interrupted") return kExitInterrupted;
  return error_.empty() ? kExitOk : kExitFailed;
}

}  // namespace

namespace {

// With --json every run prints one object, a run that never started too.
int NotStarted(const Options &options, GrabSummary summary, std::string error) {
  if (options.json) {
    summary.error = std::move(error);
    std::fprintf(stdout, "%s\n", SummaryJson(summary).c_str());
  }
  return kExitFailed;
}

}  // namespace

int RunGrab(const Options &options, const ToolContext &context) {
  GrabSummary summary;
  summary.interface = options.interface;
  summary.device = options.open.device.value_or("default");
  summary.camera = options.open.camera.value_or("default");
  summary.mode = ModeName(options.mode);
  summary.trigger = TriggerName(options.trigger);
  summary.frames_asked = options.frames;
  summary.out_dir = options.out;
  if (options.every > 0) {
    std::error_code ec;
    std::filesystem::create_directories(options.out, ec);
    if (ec || !std::filesystem::is_directory(options.out, ec)) {
      const std::string error = "--out: cannot make directory '" + Printable(options.out) +
                                "': " + (ec ? ec.message() : "a file of that name is in the way");
      std::fprintf(stderr, "%s\n", error.c_str());
      return NotStarted(options, summary, error);
    }
  }
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(options.interface);
  if (plugin == nullptr) return NotStarted(options, summary, LastFailure());
  tarvel::Plugin::OpenParams opened;
  std::unique_ptr<tarvel::Instance> instance =
      OpenInstance(*plugin, options.open, context.cameras_dir, &opened);
  if (instance == nullptr) return NotStarted(options, summary, LastFailure());
  summary.device = opened.device;
  summary.camera = opened.camera_type;
  if (!Configure(*instance, options)) return NotStarted(options, summary, LastFailure());

  TriggerPulses pulses;
  if (options.trigger == TriggerSource::kExternal && options.pulse_rate > 0) {
    const std::optional<uint32_t> board = OpenBoard();
    if (!board) {
      std::fprintf(stderr, "--pulse-rate: cannot tell which simulated board to pulse\n");
      return NotStarted(options, summary, "--pulse-rate: no board to pulse");
    }
    pulses.Start(*board, options.pulse_rate);
  }

  GrabRun run(options, context, *instance, summary);
  run.Run();
  pulses.Stop();
  if (options.trigger == TriggerSource::kExternal && options.pulse_rate > 0) {
    summary.pulses = pulses.pulses();
  }
  int status = run.Finish();
  StartOperation();
  const Terr closed = instance->Close();
  if (!Succeeded(closed)) {
    ReportFailure("close", closed);
    if (summary.error.empty()) summary.error = LastFailure();
    if (status == kExitOk) status = kExitFailed;
  }
  const std::string text = options.json ? SummaryJson(summary) : SummaryText(summary);
  std::fprintf(stdout, "%s\n", text.c_str());
  return status;
}

}  // namespace grabline::tool
