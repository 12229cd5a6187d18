// grabline view: open, grab live, serve the live view until Ctrl-C, report.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "bfsim_control.hpp"
#include "camera_files.hpp"
#include "commands.hpp"
#include "live_source.hpp"
#include "session.hpp"
#include "summary.hpp"
#include "trigger_pulses.hpp"
#include "view_server.hpp"

extern char **environ;

namespace grabline::tool {
namespace {

// A viewer should answer within a second when nothing comes: a grab that waits out
// the plug-in's ten seconds holds up every change asked meanwhile.
constexpr int64_t kViewGrabTimeoutMs = 1000;

// Ctrl-C and a termination request end the view. They are blocked in every thread
// (the plug-in's and the server's start after this) and taken by the main thread
// alone, which then shuts everything down in order.
sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

void WaitForStopSignal(const sigset_t &signals) {
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
}

// The camera file's trigger mode decides how the view starts: one-shot cameras wait
// for the trigger button, cameras made for an external trigger follow the board's
// input, the others run free.
TriggerMode InitialTrigger(std::optional<uint32_t> board) {
  if (!board) return TriggerMode::kFree;
  const std::optional<bfsim::CameraDesc> camera = bfsim::CurrentCamera(*board);
  if (!camera) return TriggerMode::kFree;
  switch (camera->trigger_mode) {
    case 2:
      return TriggerMode::kSoftware;
    case 6:
    case 7:
    case 8:
      return TriggerMode::kExternal;
    default:
      return TriggerMode::kFree;
  }
}

// The settings a live view needs before the user's: grabs that give up within a
// second, a ring that rides out a pause of the viewer, and frames the viewer falls
// behind on counted as dropped instead of stopping the board. A --set of the user's
// comes after them and wins.
bool Prepare(tarvel::Instance &instance, const Options &options) {
  for (const char *name : {"grab_timeout", "continuous_grab_timeout"}) {
    std::vector<ParamValue> value;
    if (!GetParam(instance, name, &value)) return false;
    if (value.size() == 1 && value[0].type == ParamValue::Type::kInt &&
        value[0].i <= kViewGrabTimeoutMs) {
      continue;
    }
    if (!SetParam(instance, name, {ParamValue::Int(kViewGrabTimeoutMs)})) return false;
  }
  if (!SetsParam(options, "num_buffers") &&
      !SetParam(instance, "num_buffers", {ParamValue::Int(kContinuousBuffers)})) {
    return false;
  }
  if (!SetsParam(options, "overwrite_method") &&
      !SetParam(instance, "overwrite_method", {ParamValue::Str("ignore")})) {
    return false;
  }
  for (const ParamOp &op : options.ops) {
    if (!SetParam(instance, op.name, op.values)) return false;
  }
  return true;
}

bool IsLoopback(const std::string &address) {
  return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

// The system's opener, as a user would start it; failing to start it costs nothing
// but the printed address, which the user can open by hand.
void OpenBrowser(const std::string &url) {
  const char *argv[] = {"xdg-open", url.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", &actions, nullptr, const_cast<char **>(argv), environ) != 0) {
    std::fprintf(stderr, "view: no xdg-open to start a browser; open %s by hand\n", url.c_str());
  } else {
    // The opener hands the address on and ends; reap it so it leaves no zombie.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  }
  posix_spawn_file_actions_destroy(&actions);
}

std::string UrlOf(const ListenAddress &listen) {
  const bool v6 = listen.address.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + listen.address + "]" : listen.address) + ":" +
         std::to_string(listen.port) + "/";
}

}  // namespace

int RunView(const Options &options, const ToolContext &context) {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  GrabSummary summary;
  summary.interface = options.interface;
  summary.mode = "view";
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(options.interface);
  if (plugin == nullptr) return kExitFailed;
  tarvel::Plugin::OpenParams opened;
  std::unique_ptr<tarvel::Instance> instance =
      OpenInstance(*plugin, options.open, context.cameras_dir, &opened);
  if (instance == nullptr) return kExitFailed;
  if (!Prepare(*instance, options)) return kExitFailed;

  const std::optional<uint32_t> board = OpenBoard();
  LiveSource source(*plugin, *instance, board);
  const TriggerMode trigger = InitialTrigger(board);
  PluginAnswer answer;
  if (!source.Start(trigger, &answer)) {
    std::fprintf(stderr, "%s\n", answer.message.c_str());
    return kExitFailed;
  }
  ViewServer server(source, {{"interface", options.interface},
                             {"device", opened.device},
                             {"camera", ShownPath(opened.camera_type)}});
  std::string error;
  if (!server.Start(options.listen, options.http_port, &error)) {
    std::fprintf(stderr, "view: %s\n", error.c_str());
    return kExitFailed;
  }
  const std::string url = UrlOf(server.listening());
  if (!IsLoopback(options.listen)) {
    std::fprintf(stderr,
                 "view: warning: listening on %s: anyone who can reach this machine can watch "
                 "and change the board's settings\n",
                 options.listen.c_str());
  }
  std::printf("grabline view: %s (%s, %s, trigger %s; Ctrl-C stops)\n", url.c_str(),
              opened.device.c_str(), ShownPath(opened.camera_type).c_str(),
              TriggerModeName(trigger));
  std::fflush(stdout);
  if (options.open_browser) OpenBrowser(url);

  const auto start = std::chrono::steady_clock::now();
  WaitForStopSignal(signals);
  server.Stop();
  source.Stop();
  const LiveStatus status = source.Status();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  summary.counts = status.counts;
  summary.width = status.width;
  summary.height = status.height;
  summary.channels = status.channels;
  summary.bits = status.bits;
  if (source.pulses() > 0) summary.pulses = source.pulses();
  int exit_status = kExitOk;
  StartOperation();
  const Terr closed = instance->Close();
  if (!Succeeded(closed)) {
    ReportFailure("close", closed);
    exit_status = kExitFailed;
  }
  std::printf("%s\n", SummaryText(summary).c_str());
  return exit_status;
}

}  // namespace grabline::tool
