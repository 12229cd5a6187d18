// serial_ports.hpp — the serial ports of the installed Camera Link boards and
// the references the serial calls hand out for them. Ports belong to one
// system: when the system is reset or replaced they are retired with every
// handle and reference, and the new boards get fresh ports.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "model/serial_port.hpp"

namespace bfsim::model {

class SerialPorts {
 public:
  using PortPtr = std::shared_ptr<SerialPort>;

  static SerialPorts &Get();

  // The port of the board that `board_handle` has open; null for an unknown
  // handle or a board without a serial port.
  PortPtr OfBoard(uint64_t board_handle);
  // The port with serial index `index`: the Camera Link boards ordered by
  // family code, then index within the family.
  PortPtr OfIndex(uint32_t index);
  // The port of board `position`, for the control API.
  PortPtr OfPosition(uint32_t position);

  // A new serial handle opening `port`, or 0 when the port is open already.
  uint64_t OpenHandle(const PortPtr &port);
  // The port `handle` was opened on (it may have been closed since), or null.
  PortPtr OfHandle(uint64_t handle);
  // Closes the handle; false when it is not open.
  bool CloseHandle(uint64_t handle);

  // The port reference of `port` (the same for every call), and its port.
  uint64_t RefOf(const PortPtr &port);
  PortPtr OfRef(uint64_t ref);

  // Serial handles open now, over every board.
  uint32_t OpenHandles();

  // Retires the ports of a system that has just been replaced at once, so
  // that calls blocked on them end now rather than at their time-out.
  void Refresh();

 private:
  SerialPorts() = default;
  // With the lock held: ports for the current system.
  void Sync();
  uint64_t NewId() { return next_id_ += 16; }

  std::mutex mutex_;
  uint64_t generation_ = 0;
  std::vector<PortPtr> by_position_;    // null for boards without a port
  std::vector<uint32_t> serial_order_;  // positions, by serial index
  std::map<uint64_t, uint32_t> refs_;   // port reference -> position
  std::map<uint64_t, PortPtr> handles_;
  uint64_t next_id_ = 0x5e000000;
};

}  // namespace bfsim::model
