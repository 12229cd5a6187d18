// grabline list: the boards of the simulated system and the camera files found.
#include <cstdio>
#include <cstdlib>

#include "bfsim_control.hpp"
#include "camera_files.hpp"
#include "commands.hpp"
#include "interfaces.hpp"
#include "session.hpp"
#include "text_table.hpp"

namespace grabline::tool {
namespace {

struct Family {
  uint32_t code;
  const char *name;
  const char *device;  // as device names spell it
};

// In the order "default" searches them.
constexpr Family kFamilies[] = {
    {CISYS_TYPE_RR, "RoadRunner", "RoadRunner"},
    {CISYS_TYPE_RV, "Raven", "Raven"},
    {CISYS_TYPE_R64, "R64", "R64"},
    {CISYS_TYPE_GN2, "Gn2", "GN2"},
};

const Family *FamilyOf(uint32_t code) {
  for (const Family &family : kFamilies) {
    if (family.code == code) return &family;
  }
  return nullptr;
}

std::string DeviceName(const bfsim::BoardDesc &board) {
  const Family *family = FamilyOf(board.family);
  if (family == nullptr) return "family " + std::to_string(board.family);
  return std::string(family->device) + ":" + std::to_string(board.index);
}

std::string Kinds(const bfsim::BoardDesc &board) {
  std::string kinds;
  auto add = [&](bool has, const char *name) {
    if (has) kinds += (kinds.empty() ? "" : ",") + std::string(name);
  };
  add(board.camera_link, "cl");
  add(board.karbon, "karbon");
  add(board.neon && !board.neon_switchable, "neon");
  add(board.neon_switchable, "neon_switchable");
  add(board.alta, "alta");
  add(board.cxp, "cxp");
  return kinds.empty() ? "-" : kinds;
}

// The board "default" opens: board 0 of the first family searched that has one.
std::string DefaultDevice(const std::vector<bfsim::BoardDesc> &boards, bool searches_gn2) {
  for (const Family &family : kFamilies) {
    if (family.code == CISYS_TYPE_GN2 && !searches_gn2) continue;
    for (const bfsim::BoardDesc &board : boards) {
      if (board.family == family.code && board.index == 0) return DeviceName(board);
    }
  }
  return "";
}

void PrintBoards(const std::vector<bfsim::BoardDesc> &boards, const InterfaceInfo &interface) {
  std::vector<std::vector<std::string>> rows = {
      {"device", "family", "model", "kinds", "ports", "switch", "connector", "camera", "state"}};
  for (const bfsim::BoardDesc &board : boards) {
    const Family *family = FamilyOf(board.family);
    std::string state = board.held_elsewhere ? "held by another process" : "";
    if (board.family == CISYS_TYPE_GN2 && !interface.searches_gn2) {
      state +=
          std::string(state.empty() ? "" : "; ") + "not seen by " + std::string(interface.plugin);
    }
    rows.push_back({DeviceName(board), family != nullptr ? family->name : "?",
                    Printable(board.model, 64), Kinds(board), std::to_string(board.ports),
                    std::to_string(board.switch_number), std::to_string(board.connector),
                    board.camera.empty() ? "built-in" : Printable(board.camera, 128), state});
  }
  std::fputs(FormatTable(rows, 2).c_str(), stdout);
  const std::string device = DefaultDevice(boards, interface.searches_gn2);
  if (!device.empty()) {
    std::printf("  device 'default' opens %s with %s\n", device.c_str(),
                std::string(interface.plugin).c_str());
  }
}

void PrintCameraFiles(const std::string &dir, const std::vector<std::string> &extensions,
                      const std::string &source) {
  std::vector<std::string> names;
  std::string error;
  if (!ListCameraFiles(dir, extensions, &names, &error)) {
    std::printf("  %s (%s): cannot be read (%s)\n", Printable(dir).c_str(), source.c_str(),
                Printable(error).c_str());
    return;
  }
  std::printf("  %s (%s):%s\n", Printable(dir).c_str(), source.c_str(),
              names.empty() ? " none" : "");
  for (const std::string &name : names) std::printf("    %s\n", Printable(name).c_str());
}

std::vector<std::string> SplitExtensions(const std::string &list) {
  std::vector<std::string> extensions;
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(';', begin);
    if (end == std::string::npos) end = list.size();
    if (end > begin) extensions.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  return extensions;
}

// The directory and file types the plug-in's camera-file query names, if it answers.
void PrintQueriedCameraFiles(const std::string &interface) {
  std::unique_ptr<tarvel::Plugin> plugin = LoadPlugin(interface);
  if (plugin == nullptr) return;
  constexpr int32_t kCameraTypeQuery = 1;
  tarvel::Plugin::Info info = plugin->Query(kCameraTypeQuery);
  if (!Succeeded(info.result)) {
    std::printf("  camera-file query of %s: %s\n", interface.c_str(),
                CodeText(info.result).c_str());
    return;
  }
  if (info.values.size() < 3 || info.values[1].type != tarvel::Value::Type::kString ||
      info.values[2].type != tarvel::Value::Type::kString) {
    std::printf("  camera-file query of %s: no directory in its answer\n", interface.c_str());
    return;
  }
  const std::string &dir = info.values[2].s;
  // The query answers a lone backslash when no directory is configured.
  if (dir.empty() || dir == "\\") {
    std::printf("  the camera-file query of %s names no directory\n", interface.c_str());
    return;
  }
  PrintCameraFiles(
      dir, SplitExtensions(info.values[1].s),
      "camera-file query of " + interface + ", types " + Printable(info.values[1].s, 128));
}

}  // namespace

int RunList(const Options &options, const ToolContext &context) {
  const std::vector<bfsim::BoardDesc> boards = bfsim::Boards();
  const std::string system_error = bfsim::SystemError();
  const char *system = std::getenv("GRABLINE_SIM_SYSTEM");
  if (system != nullptr && system[0] != '\0') {
    std::printf("boards (system file %s):\n", Printable(system).c_str());
  } else {
    std::printf("boards (the simulator's default system):\n");
  }
  if (boards.empty()) std::printf("  none\n");
  if (!boards.empty()) PrintBoards(boards, *FindInterface(options.interface));
  std::printf("camera files:\n");
  PrintCameraFiles(ShownPath(context.cameras_dir), {}, "camera files directory");
  PrintQueriedCameraFiles(options.interface);
  if (!system_error.empty()) {
    std::fprintf(stderr, "list: %s\n", Printable(system_error).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace grabline::tool
