// grabline serial: commands to the camera over its serial port, answers printed.
#include <unistd.h>

#include <cstdio>

#include "code_names.hpp"
#include "commands.hpp"
#include "serial_text.hpp"
#include "session.hpp"

namespace grabline::tool {
namespace {

// Serial time-out of a fresh instance; said in the hint when an answer does not come.
constexpr int32_t kPortTimeoutMs = 1000;

class SerialConsole {
 public:
  SerialConsole(tarvel::Instance &instance, const Options &options)
      : instance_(instance), options_(options) {}

  // Open the port and set it up as the options ask; false after reporting why.
  bool Open() {
    if (options_.serial_timeout_ms &&
        !SetParam(instance_, "serial_timeout", {ParamValue::Int(*options_.serial_timeout_ms)})) {
      return false;
    }
    StartOperation();
    const Terr result = instance_.SetParam("do_comm_open", std::vector<tarvel::Value>{});
    if (!Succeeded(result)) {
      ReportFailure("do_comm_open", result);
      if (result == kCodeSerialNotCl) {
        std::fprintf(stderr, "  only Camera Link boards have a serial port (grabline list)\n");
      }
      return false;
    }
    open_ = true;
    return !options_.baud ||
           SetParam(instance_, "serial_baudrate", {ParamValue::Int(*options_.baud)});
  }

  // Closes the port if open; false after reporting a failure.
  bool Close() {
    if (!open_) return true;
    open_ = false;
    return SetParam(instance_, "do_comm_close", {});
  }

  // Sends `command` with its CR and prints the answer lines; false after reporting.
  bool Send(const std::string &command) {
    if (!SetParam(instance_, "do_comm_write", {ParamValue::Str(command + "\r")})) return false;
    for (uint32_t line = 0; line < options_.answer_lines; ++line) {
      StartOperation();
      std::vector<tarvel::Value> host_values;
      const Terr result = instance_.GetParam("serial_message", &host_values);
      if (!Succeeded(result)) {
        ReportFailure("serial_message", result);
        if (result == kCodeTimeout) {
          std::fprintf(stderr,
                       "  no answer within %d ms (--timeout, for each byte); the camera hears "
                       "only at its own line speed (--baud)\n",
                       options_.serial_timeout_ms.value_or(kPortTimeoutMs));
        }
        return false;
      }
      const std::vector<ParamValue> answer = FromHost(host_values);
      const std::string text =
          answer.size() == 1 && answer[0].type == ParamValue::Type::kString ? answer[0].s : "";
      std::printf("%s\n", AnswerText(text).c_str());
      std::fflush(stdout);
    }
    return true;
  }

 private:
  tarvel::Instance &instance_;
  const Options &options_;
  bool open_ = false;
};

// Commands from standard input until it ends; returns how many failed.
int Interactive(SerialConsole &console) {
  const bool prompt = isatty(STDIN_FILENO) != 0;
  int failed = 0;
  std::string line;
  for (;;) {
    if (prompt) {
      std::fputs("> ", stderr);
      std::fflush(stderr);
    }
    const LineStatus status = ReadBoundedLine(stdin, kMaxSerialCommand, &line);
    if (status == LineStatus::kEnd) break;
    if (status == LineStatus::kTooLong) {
      std::fprintf(stderr, "serial: line longer than %zu bytes, not sent\n", kMaxSerialCommand);
      ++failed;
      continue;
    }
    // An empty line asks nothing, and a camera does not answer one.
    if (line.empty()) continue;
    if (line.find('\0') != std::string::npos) {
      std::fprintf(stderr, "serial: line holds a NUL byte, not sent\n");
      ++failed;
      continue;
    }
    if (!console.Send(line)) ++failed;
  }
  if (prompt) std::fputs("\n", stderr);
  return failed;
}

}  // namespace

int RunSerial(const Options &options, const ToolContext &context) {
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(options.interface);
  if (plugin == nullptr) return kExitFailed;
  std::unique_ptr<tarvel::Instance> instance =
      OpenInstance(*plugin, options.open, context.cameras_dir, nullptr);
  if (instance == nullptr) return kExitFailed;
  SerialConsole console(*instance, options);
  bool ok = console.Open();
  for (size_t k = 0; ok && k < options.serial_commands.size(); ++k) {
    ok = console.Send(options.serial_commands[k]);
  }
  if (ok && options.interactive) ok = Interactive(console) == 0;
  ok = console.Close() && ok;
  StartOperation();
  const Terr closed = instance->Close();
  if (!Succeeded(closed)) {
    ReportFailure("close", closed);
    return kExitFailed;
  }
  return ok ? kExitOk : kExitFailed;
}

}  // namespace grabline::tool
