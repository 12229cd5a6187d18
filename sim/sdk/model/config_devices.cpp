// The configured devices of the system.
#include "model/config_devices.hpp"

#include <algorithm>

namespace bfsim::model {

DeviceEntry DeviceOf(const Board &board, uint32_t position) {
  DeviceEntry entry;
  entry.position = position;
  entry.family = board.config.family;
  entry.index = board.index;
  entry.id = (board.config.family << 8) | board.index;
  entry.ports = board.config.ports;
  entry.serial = board.config.camera_link;
  return entry;
}

std::vector<DeviceEntry> ListDevices(const std::vector<Board> &boards, uint32_t families,
                                     DeviceOrder order) {
  std::vector<DeviceEntry> list;
  for (uint32_t p = 0; p < boards.size(); ++p) {
    if ((boards[p].config.family & families) != 0) list.push_back(DeviceOf(boards[p], p));
  }
  if (order == DeviceOrder::kByFamily) {
    std::stable_sort(list.begin(), list.end(), [](const DeviceEntry &a, const DeviceEntry &b) {
      return a.family != b.family ? a.family < b.family : a.index < b.index;
    });
  }
  return list;
}

}  // namespace bfsim::model
