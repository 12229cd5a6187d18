// Names of signals and QTabs by the order they were made. The model's ids
// are never reused, so a name stays with its record after it is freed.
#include "api/call_records.hpp"

#include <map>
#include <mutex>

#include "api/sdk_layer.hpp"

namespace bfsim::api {
namespace {

// A chain longer than this is refused by the call; its name would only be noise.
constexpr uint32_t kMaxNamedList = 65536;

struct Names {
  std::mutex mutex;
  std::map<uint64_t, std::string> signals;
  std::map<uint64_t, std::string> qtabs;
};

Names &TheNames() {
  static Names names;
  return names;
}

std::string Register(std::map<uint64_t, std::string> &names, uint64_t id, std::string name) {
  names[id] = name;
  return name;
}

std::string Lookup(const std::map<uint64_t, std::string> &names, uint64_t id, const char *unknown) {
  auto it = names.find(id);
  return it == names.end() ? unknown : it->second;
}

std::string QTabNameLocked(const Names &names, const RQTabHeadRec *qtab) {
  if (qtab == nullptr || qtab->impl == nullptr) return "";
  return Lookup(names.qtabs, IdOf(qtab->impl), "qtab#?");
}

}  // namespace

std::string NameSignal(uint64_t id, uint32_t type) {
  Names &names = TheNames();
  std::lock_guard lock(names.mutex);
  return Register(names.signals, id,
                  "sig#" + std::to_string(names.signals.size() + 1) + ":" + std::to_string(type));
}

std::string SignalName(const CiSIGNAL *signal) {
  if (signal == nullptr || signal->impl == nullptr) return "";
  Names &names = TheNames();
  std::lock_guard lock(names.mutex);
  return Lookup(names.signals, IdOf(signal->impl), "sig#?");
}

std::string NameQTab(uint64_t id) {
  Names &names = TheNames();
  std::lock_guard lock(names.mutex);
  return Register(names.qtabs, id, "qtab#" + std::to_string(names.qtabs.size() + 1));
}

std::string QTabName(const RQTabHeadRec *qtab) {
  Names &names = TheNames();
  std::lock_guard lock(names.mutex);
  return QTabNameLocked(names, qtab);
}

std::string QTabNames(RQTabHeadPtr *list, uint32_t count) {
  if (list == nullptr || count > kMaxNamedList) return "";
  Names &names = TheNames();
  std::lock_guard lock(names.mutex);
  std::string joined;
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) joined += ',';
    joined += QTabNameLocked(names, list[i]);
  }
  return joined;
}

void ClearRecordNames() {
  Names &names = TheNames();
  std::lock_guard lock(names.mutex);
  names.signals.clear();
  names.qtabs.clear();
}

std::string Bytes(const void *data, size_t size) {
  if (data == nullptr) return "";
  return std::string(static_cast<const char *>(data), size);
}

std::string BoardName(Bd board) { return Sys().BoardName(IdOf(board)); }

}  // namespace bfsim::api
