// The serial ports of the system and their references. The lock here is
// taken before the system's and never while a port blocks.
#include "model/serial_ports.hpp"

#include "model/config_devices.hpp"
#include "model/system.hpp"

namespace bfsim::model {

SerialPorts &SerialPorts::Get() {
  static SerialPorts ports;
  return ports;
}

void SerialPorts::Sync() {
  System &system = System::Get();
  for (;;) {
    const uint64_t generation = system.Generation();
    if (generation == generation_) return;
    std::vector<DeviceEntry> devices;
    uint32_t boards = 0;
    system.WithBoards([&](std::vector<Board> &list) {
      boards = static_cast<uint32_t>(list.size());
      devices = ListDevices(list, kAllFamilies, DeviceOrder::kByFamily);
    });
    // The system changed again while it was read: read it once more.
    if (system.Generation() != generation) continue;

    for (PortPtr &port : by_position_) {
      if (port) port->Retire();
    }
    by_position_.assign(boards, nullptr);
    serial_order_.clear();
    refs_.clear();
    handles_.clear();
    for (const DeviceEntry &device : devices) {
      if (!device.serial) continue;
      by_position_[device.position] = std::make_shared<SerialPort>();
      serial_order_.push_back(device.position);
      refs_[NewId()] = device.position;
    }
    generation_ = generation;
  }
}

SerialPorts::PortPtr SerialPorts::OfBoard(uint64_t board_handle) {
  std::lock_guard lock(mutex_);
  Sync();
  PortPtr port;
  System::Get().WithBoard(board_handle, [&](Board &, uint32_t position) {
    if (position < by_position_.size()) port = by_position_[position];
  });
  return port;
}

SerialPorts::PortPtr SerialPorts::OfIndex(uint32_t index) {
  std::lock_guard lock(mutex_);
  Sync();
  return index < serial_order_.size() ? by_position_[serial_order_[index]] : nullptr;
}

SerialPorts::PortPtr SerialPorts::OfPosition(uint32_t position) {
  std::lock_guard lock(mutex_);
  Sync();
  return position < by_position_.size() ? by_position_[position] : nullptr;
}

uint64_t SerialPorts::OpenHandle(const PortPtr &port) {
  std::lock_guard lock(mutex_);
  Sync();
  if (!port) return 0;
  const uint64_t handle = NewId();
  if (!port->Open(handle)) return 0;
  handles_[handle] = port;
  return handle;
}

SerialPorts::PortPtr SerialPorts::OfHandle(uint64_t handle) {
  std::lock_guard lock(mutex_);
  Sync();
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second;
}

bool SerialPorts::CloseHandle(uint64_t handle) {
  std::lock_guard lock(mutex_);
  Sync();
  auto it = handles_.find(handle);
  if (it == handles_.end()) return false;
  const bool closed = it->second->Close(handle);
  handles_.erase(it);
  return closed;
}

uint64_t SerialPorts::RefOf(const PortPtr &port) {
  std::lock_guard lock(mutex_);
  Sync();
  for (const auto &[ref, position] : refs_) {
    if (by_position_[position] == port) return ref;
  }
  return 0;
}

SerialPorts::PortPtr SerialPorts::OfRef(uint64_t ref) {
  std::lock_guard lock(mutex_);
  Sync();
  auto it = refs_.find(ref);
  return it == refs_.end() ? nullptr : by_position_[it->second];
}

void SerialPorts::Refresh() {
  std::lock_guard lock(mutex_);
  Sync();
}

uint32_t SerialPorts::OpenHandles() {
  std::lock_guard lock(mutex_);
  Sync();
  uint32_t open = 0;
  for (const PortPtr &port : by_position_) open += port && port->IsOpen();
  return open;
}

}  // namespace bfsim::model
