// The system and what is open on it.
#include "model/system.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "model/acquisition.hpp"
#include "model/process_end.hpp"
#include "model/registers.hpp"
#include "model/system_file.hpp"

namespace bfsim::model {
namespace {

// The boards GRABLINE_SIM_SYSTEM names, or the default system. A file that
// cannot be read or parsed gives no boards at all, so that a mistake in it
// is noticed rather than silently replaced by the default board.
std::vector<BoardConfig> ConfiguredBoards(std::string &error) {
  error.clear();
  const char *path = std::getenv("GRABLINE_SIM_SYSTEM");
  if (path == nullptr || *path == '\0') return DefaultSystem();
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) {
    text.resize(kMaxSystemFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
  }
  SystemFile parsed;
  if (!in && !in.eof()) {
    parsed.error = "cannot be read";
  } else {
    parsed = ParseSystemFile(text);
  }
  if (parsed.error.empty()) return parsed.boards;
  error = std::string("system file ") + path + ": " + parsed.error;
  std::fprintf(stderr, "[bfsim] %s\n", error.c_str());
  return {};
}

}  // namespace

System &System::Get() {
  static System system;
  return system;
}

System::System() {
  std::string error;
  std::vector<BoardConfig> configs = ConfiguredBoards(error);
  Clocks retired;
  std::lock_guard lock(mutex_);
  load_error_ = error;
  ReplaceBoards(std::move(configs), retired);
}

System::~System() {
  // The clocks' threads are gone, one perhaps while it held the lock.
  if (ThreadsStoppedByProcessEnd()) {
    for (std::unique_ptr<FrameClock> &clock : clocks_) static_cast<void>(clock.release());
    return;
  }
  Clocks retired;
  std::lock_guard lock(mutex_);
  retired.swap(clocks_);
}

void System::Reset() {
  std::string error;
  std::vector<BoardConfig> configs = ConfiguredBoards(error);
  Clocks retired;
  std::lock_guard lock(mutex_);
  load_error_ = error;
  camera_error_.clear();
  ReplaceBoards(std::move(configs), retired);
  driver_ready_.store(true, std::memory_order_relaxed);
}

std::string System::LoadText(std::string_view text) {
  SystemFile parsed = ParseSystemFile(text);
  if (!parsed.error.empty()) return parsed.error;
  Clocks retired;
  std::lock_guard lock(mutex_);
  ReplaceBoards(std::move(parsed.boards), retired);
  return "";
}

std::string System::LoadError() {
  std::lock_guard lock(mutex_);
  return load_error_;
}

std::string System::CameraError() {
  std::lock_guard lock(mutex_);
  return camera_error_;
}

void System::ReplaceBoards(std::vector<BoardConfig> configs, Clocks &retired) {
  for (auto &[id, ref] : signals_) ref.signal->Free();
  signals_.clear();
  board_handles_.clear();
  camera_handles_.clear();
  qtabs_.Clear();
  boards_.clear();
  for (auto &clock : clocks_) {
    if (clock) retired.push_back(std::move(clock));
  }
  clocks_.clear();
  ++generation_;
  for (BoardConfig &config : configs) {
    Board board;
    board.index = 0;
    for (const Board &other : boards_) board.index += other.config.family == config.family;
    board.held_elsewhere = config.held_elsewhere;
    board.config = std::move(config);
    board.camera_connected = board.config.camera_connected;
    board.cameras.resize(board.config.ports);
    ResetRegisters(board);
    ResetAcquisition(board);
    ApplyCamera(board);
    boards_.push_back(std::move(board));
  }
  clocks_.resize(boards_.size());
  armed_.notify_all();  // waiters look again: their board may be gone
}

uint64_t System::Generation() {
  std::lock_guard lock(mutex_);
  return generation_;
}

Status System::Count(uint32_t family, uint32_t &count) {
  std::lock_guard lock(mutex_);
  count = 0;
  for (const Board &board : boards_) count += (board.config.family & family) != 0;
  return Status::kOk;
}

Status System::Find(uint32_t family, uint32_t index, uint32_t &position) {
  std::lock_guard lock(mutex_);
  for (uint32_t p = 0; p < boards_.size(); ++p) {
    if (boards_[p].config.family == family && boards_[p].index == index) {
      position = p;
      return Status::kOk;
    }
  }
  return Status::kNoBoard;
}

Status System::FindBySwitch(uint32_t families, uint32_t switch_number, uint32_t connector,
                            uint32_t &position) {
  std::lock_guard lock(mutex_);
  for (uint32_t p = 0; p < boards_.size(); ++p) {
    const BoardConfig &config = boards_[p].config;
    if ((config.family & families) != 0 && config.switch_number == switch_number &&
        config.connector == connector) {
      position = p;
      return Status::kOk;
    }
  }
  return Status::kNoBoard;
}

Status System::Open(uint32_t position, uint64_t generation,
                    std::optional<std::string_view> camera_file, uint64_t &handle) {
  std::lock_guard lock(mutex_);
  if (generation != generation_ || position >= boards_.size()) return Status::kBadArg;
  Board &board = boards_[position];
  if (board.held_elsewhere) return Status::kHeld;
  Camera camera;
  Status loaded = LoadCamera(camera_file.value_or(board.config.camera), camera, camera_error_);
  if (loaded != Status::kOk) return loaded;

  // A board already open here keeps its registers; the new camera applies.
  if (board.open_count == 0) {
    ResetRegisters(board);
    ResetAcquisition(board);
    board.current_port = 0;
    board.trigger = TriggerState{};
    board.aq_signal = 0;
  }
  board.cameras.assign(board.config.ports, camera);
  board.aq_timeout_ms = camera.timeout_ms;
  ApplyCamera(board);
  SyncClock(position);
  ++board.open_count;
  handle = NewId();
  board_handles_[handle] = position;
  return Status::kOk;
}

Status System::Close(uint64_t handle) {
  std::unique_ptr<FrameClock> retired;
  std::lock_guard lock(mutex_);
  std::optional<uint32_t> position = PositionOf(handle);
  if (!position) return Status::kBadArg;
  board_handles_.erase(handle);
  if (--boards_[*position].open_count == 0) retired = CloseBoard(*position);
  return Status::kOk;
}

std::string System::BoardName(uint64_t handle) {
  std::lock_guard lock(mutex_);
  std::optional<uint32_t> position = PositionOf(handle);
  if (!position) return "";
  const Board &board = boards_[*position];
  const char *family = board.config.family == kFamilyRoadRunner ? "RoadRunner"
                       : board.config.family == kFamilyRaven    ? "Raven"
                       : board.config.family == kFamilyR64      ? "R64"
                                                                : "Gn2";
  std::string name = family;
  name += ':';
  name += std::to_string(board.index);
  return name;
}

// The board stops acquiring; tables the caller left behind become orphans.
std::unique_ptr<FrameClock> System::CloseBoard(uint32_t position) {
  Board &board = boards_[position];
  qtabs_.Orphan(position);
  ResetAcquisition(board);
  for (auto it = signals_.begin(); it != signals_.end();) {
    if (it->second.board == position) {
      it->second.signal->Free();
      it = signals_.erase(it);
    } else {
      ++it;
    }
  }
  std::erase_if(camera_handles_, [position](const auto &e) { return e.second.board == position; });
  board.aq_signal = 0;
  return std::move(clocks_[position]);
}

void System::ApplyCamera(Board &board) {
  const Camera &camera = board.CurrentCamera();
  board.trigger.mode = camera.trigger_mode;
  board.trigger.a = camera.trig_a;
  board.trigger.b = camera.trig_b;
  board.trigger.c = camera.trig_c;
  // A region belongs to the camera it was cut from, as long as it fits.
  if (board.acq.region && CheckRegion(camera, *board.acq.region) != Status::kOk) {
    board.acq.region.reset();
  }
  SyncRegisters(board);  // the region registers follow the camera
}

std::optional<uint32_t> System::PositionOf(uint64_t handle) const {
  auto it = board_handles_.find(handle);
  if (it == board_handles_.end()) return std::nullopt;
  return it->second;
}

Status System::CameraOf(uint64_t handle, uint64_t camera, CameraMap::iterator &it) {
  std::optional<uint32_t> position = PositionOf(handle);
  it = camera_handles_.find(camera);
  bool ok = position && it != camera_handles_.end() && it->second.board == *position;
  return ok ? Status::kOk : Status::kBadArg;
}

Status System::SignalOf(uint64_t handle, uint64_t id, SignalMap::iterator &it) {
  std::optional<uint32_t> position = PositionOf(handle);
  if (!position) return Status::kBadArg;
  it = signals_.find(id);
  if (it == signals_.end()) return Status::kSignalGone;
  return it->second.board == *position ? Status::kOk : Status::kBadArg;
}

Status System::SelectPort(uint64_t handle, uint32_t port) {
  std::lock_guard lock(mutex_);
  std::optional<uint32_t> position = PositionOf(handle);
  if (!position || port >= boards_[*position].config.ports) return Status::kBadArg;
  boards_[*position].current_port = port;
  ApplyCamera(boards_[*position]);
  SyncClock(*position);
  return Status::kOk;
}

Status System::CurrentCamera(uint64_t handle, uint64_t &camera) {
  std::lock_guard lock(mutex_);
  std::optional<uint32_t> position = PositionOf(handle);
  if (!position) return Status::kBadArg;
  CameraRef want{*position, boards_[*position].current_port};
  for (const auto &[id, ref] : camera_handles_) {
    if (ref.board == want.board && ref.port == want.port) {
      camera = id;
      return Status::kOk;
    }
  }
  camera = NewId();
  camera_handles_[camera] = want;
  return Status::kOk;
}

Status System::SetCurrentCamera(uint64_t handle, uint64_t camera) {
  std::lock_guard lock(mutex_);
  CameraMap::iterator it;
  Status status = CameraOf(handle, camera, it);
  if (status != Status::kOk) return status;
  Board &board = boards_[it->second.board];
  board.current_port = it->second.port;
  ApplyCamera(board);
  SyncClock(it->second.board);
  return Status::kOk;
}

Status System::CloseCamera(uint64_t handle, uint64_t camera) {
  std::lock_guard lock(mutex_);
  CameraMap::iterator it;
  Status status = CameraOf(handle, camera, it);
  if (status == Status::kOk) camera_handles_.erase(it);
  return status;
}

Status System::CreateSignal(uint64_t handle, uint32_t type, uint64_t &id) {
  std::lock_guard lock(mutex_);
  std::optional<uint32_t> position = PositionOf(handle);
  if (!position) return Status::kBadArg;
  id = NewId();
  signals_[id] = SignalRef{*position, type, std::make_shared<Signal>()};
  return Status::kOk;
}

Status System::FindSignal(uint64_t handle, uint64_t id, std::shared_ptr<Signal> &signal) {
  std::lock_guard lock(mutex_);
  SignalMap::iterator it;
  Status status = SignalOf(handle, id, it);
  if (status == Status::kOk) signal = it->second.signal;
  return status;
}

Status System::FreeSignal(uint64_t handle, uint64_t id) {
  std::lock_guard lock(mutex_);
  SignalMap::iterator it;
  Status status = SignalOf(handle, id, it);
  if (status != Status::kOk) return status;
  it->second.signal->Free();
  Board &board = boards_[it->second.board];
  if (board.aq_signal == id) board.aq_signal = 0;
  signals_.erase(it);
  return Status::kOk;
}

Status System::SetAcquisitionSignal(uint64_t handle, uint64_t id) {
  std::lock_guard lock(mutex_);
  SignalMap::iterator it;
  Status status = SignalOf(handle, id, it);
  if (status == Status::kOk) boards_[it->second.board].aq_signal = id;
  return status;
}

uint32_t System::RaiseSignals(uint32_t position, uint32_t type, const Signal::Info &info) {
  std::lock_guard lock(mutex_);
  return RaiseLocked(position, type, info);
}

uint32_t System::RaiseLocked(uint32_t position, uint32_t type, const Signal::Info &info) {
  uint32_t raised = 0;
  for (auto &[id, ref] : signals_) {
    if (ref.board == position && ref.type == type) {
      Signal *signal = ref.signal.get();
      signal->Raise(info, !hold_wakes_);
      if (hold_wakes_ &&
          std::find(held_wakes_.begin(), held_wakes_.end(), signal) == held_wakes_.end()) {
        held_wakes_.push_back(signal);
      }
      ++raised;
    }
  }
  return raised;
}

uint32_t System::BlockedWaiters(uint32_t position) {
  std::lock_guard lock(mutex_);
  uint32_t waiters = 0;
  for (const auto &[id, ref] : signals_) {
    if (ref.board == position) waiters += ref.signal->Waiters();
  }
  return waiters;
}

uint32_t System::LiveSignals(uint32_t position) {
  std::lock_guard lock(mutex_);
  uint32_t live = 0;
  for (const auto &[id, ref] : signals_) live += ref.board == position;
  return live;
}

}  // namespace bfsim::model
