// config_devices.hpp — the installed boards as the configuration query lists
// them: an identifier for each, whether it has a Camera Link serial port, and
// the orders the list can take.
#pragma once

#include <cstdint>
#include <vector>

#include "model/board.hpp"

namespace bfsim::model {

struct DeviceEntry {
  uint32_t position = 0;  // in the system's board list
  uint32_t id = 0;
  uint32_t family = 0;
  uint32_t index = 0;
  uint32_t ports = 0;
  bool serial = false;
};

enum class DeviceOrder : uint8_t {
  kSystem,    // the order of the system file
  kByFamily,  // by family code, then index within the family
};

// Family code and index make the identifier, so it stays the same while the
// system does and differs from the board's position.
DeviceEntry DeviceOf(const Board &board, uint32_t position);
// Boards of the families in the mask `families`, in `order`.
std::vector<DeviceEntry> ListDevices(const std::vector<Board> &boards, uint32_t families,
                                     DeviceOrder order);

}  // namespace bfsim::model
