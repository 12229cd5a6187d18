#include "session.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "bfsim_control.hpp"
#include "camera_files.hpp"
#include "code_names.hpp"

namespace grabline::tool {
namespace {

std::string last_failure;

void Record(std::string text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  last_failure = std::move(text);
}

// Enough of what the plug-in printed to explain a failure, not a flood.
constexpr size_t kMaxReportedMessages = 8;

void PrintOpenHints(const tarvel::Plugin::OpenParams &params, const std::string &cameras_dir) {
  const std::string system_error = bfsim::SystemError();
  if (!system_error.empty()) {
    std::fprintf(stderr, "  simulator: %s\n", Printable(system_error).c_str());
  } else if (bfsim::Boards().empty()) {
    std::fprintf(stderr, "  the simulated system has no boards\n");
  }
  if (params.camera_type != "default") {
    std::error_code ec;
    if (!std::filesystem::exists(params.camera_type, ec)) {
      std::fprintf(
          stderr, "  camera file '%s' not found (looked in the working directory and %s)\n",
          Printable(params.camera_type).c_str(), Printable(ShownPath(cameras_dir)).c_str());
    }
  }
}

}  // namespace

std::string CodeText(Terr code) { return CodeText(code, T_MSG_OK); }
std::string CodeName(Terr code) { return CodeName(code, T_MSG_OK); }

std::unique_ptr<tarvel::Plugin> LoadPlugin(const std::string &interface) {
  std::string error;
  std::unique_ptr<tarvel::Plugin> plugin = tarvel::Plugin::Load(interface, &error);
  if (plugin == nullptr) {
    Record("load " + interface + ": " + Printable(error));
    return nullptr;
  }
  if (!Succeeded(plugin->init_result())) {
    Record("load " + interface + ": FGInit: " + CodeText(plugin->init_result()));
    return nullptr;
  }
  // The plug-in explains its failures in printed messages only while this is on.
  tarvel::SetLowError(true);
  return plugin;
}

std::unique_ptr<tarvel::Instance> OpenInstance(tarvel::Plugin &plugin, const OpenOptions &open,
                                               const std::string &cameras_dir,
                                               tarvel::Plugin::OpenParams *used) {
  tarvel::Plugin::OpenParams params = plugin.Defaults();
  if (open.device) params.device = *open.device;
  if (open.camera) params.camera_type = ResolveCameraFile(*open.camera, cameras_dir);
  if (open.port) params.port = *open.port;
  if (open.color) params.color_space = *open.color;
  if (open.bits) params.bits_per_channel = *open.bits;
  StartOperation();
  Terr result = 0;
  std::unique_ptr<tarvel::Instance> instance = plugin.Open(params, &result);
  if (instance == nullptr) {
    ReportFailure("open", result);
    PrintOpenHints(params, cameras_dir);
    return nullptr;
  }
  if (used != nullptr) *used = params;
  return instance;
}

void StartOperation() { tarvel::ClearLogs(); }

const std::string &LastFailure() { return last_failure; }

std::vector<std::string> FailureLines(std::string_view what, Terr code) {
  std::vector<std::string> lines = {Printable(what) + ": " + CodeText(code)};
  const std::vector<std::string> messages = tarvel::PrintedMessages();
  const size_t first =
      messages.size() > kMaxReportedMessages ? messages.size() - kMaxReportedMessages : 0;
  for (size_t i = first; i < messages.size(); ++i) {
    // The plug-in's texts may end in a line break of their own.
    std::string_view text = messages[i];
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    lines.push_back("  plug-in: " + Printable(text));
  }
  return lines;
}

void ReportFailure(std::string_view what, Terr code) {
  std::vector<std::string> lines = FailureLines(what, code);
  for (size_t i = 1; i < lines.size(); ++i) lines[0] += "\n" + lines[i];
  std::fprintf(stderr, "%s\n", lines[0].c_str());
  last_failure = Printable(what) + ": " + CodeText(code);
}

bool SetParam(tarvel::Instance &instance, const std::string &name,
              const std::vector<ParamValue> &values) {
  StartOperation();
  const Terr result = instance.SetParam(name, ToHost(values));
  if (!Succeeded(result)) ReportFailure(name, result);
  return Succeeded(result);
}

bool GetParam(tarvel::Instance &instance, const std::string &name,
              std::vector<ParamValue> *values) {
  StartOperation();
  std::vector<tarvel::Value> host_values;
  const Terr result = instance.GetParam(name, &host_values);
  if (!Succeeded(result)) {
    ReportFailure(name, result);
    return false;
  }
  *values = FromHost(host_values);
  return true;
}

bool SetsParam(const Options &options, std::string_view name) {
  for (const ParamOp &op : options.ops) {
    if (op.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), op.name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return true;
    }
  }
  return false;
}

std::vector<tarvel::Value> ToHost(const std::vector<ParamValue> &values) {
  std::vector<tarvel::Value> host;
  for (const ParamValue &value : values) {
    switch (value.type) {
      case ParamValue::Type::kInt:
        host.push_back(tarvel::Value::Int(value.i));
        break;
      case ParamValue::Type::kDouble:
        host.push_back(tarvel::Value::Double(value.d));
        break;
      case ParamValue::Type::kString:
        host.push_back(tarvel::Value::Str(value.s));
        break;
    }
  }
  return host;
}

std::vector<ParamValue> FromHost(const std::vector<tarvel::Value> &values) {
  std::vector<ParamValue> tool;
  for (const tarvel::Value &value : values) {
    switch (value.type) {
      case tarvel::Value::Type::kInt:
        tool.push_back(ParamValue::Int(value.i));
        break;
      case tarvel::Value::Type::kDouble:
        tool.push_back(ParamValue::Double(value.d));
        break;
      case tarvel::Value::Type::kString:
        tool.push_back(ParamValue::Str(value.s));
        break;
    }
  }
  return tool;
}

}  // namespace grabline::tool
