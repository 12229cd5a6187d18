// The configuration query: a board's configuration record and the list of
// configured devices, which the caller owns until it frees it.
#include <mutex>
#include <set>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/config_lists.hpp"
#include "api/sdk_layer.hpp"
#include "model/config_devices.hpp"

namespace bfsim::api {
namespace {

// Heads of the lists handed out and not freed: a free of anything else is
// refused instead of freeing memory the SDK does not own.
struct LiveLists {
  std::mutex mutex;
  std::set<const BFCFG_DEVICE *> heads;
};

LiveLists &Lists() {
  static LiveLists lists;
  return lists;
}

void DeleteList(BFCFG_DEVICE *list) {
  while (list != nullptr) {
    BFCFG_DEVICE *next = list->next;
    delete list;
    list = next;
  }
}

BFCFG_DEVICE *NewList(const std::vector<model::DeviceEntry> &devices, uint32_t max_devices) {
  BFCFG_DEVICE *head = nullptr;
  BFCFG_DEVICE **tail = &head;
  for (size_t i = 0; i < devices.size() && i < max_devices; ++i) {
    const model::DeviceEntry &d = devices[i];
    *tail = new BFCFG_DEVICE{nullptr, d.id, d.family, d.index, d.serial ? 1u : 0u};
    tail = &(*tail)->next;
  }
  return head;
}

}  // namespace

uint32_t LiveDeviceLists() {
  std::lock_guard lock(Lists().mutex);
  return static_cast<uint32_t>(Lists().heads.size());
}

}  // namespace bfsim::api

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

BFRC BFGetCfgBoardVFO(Bd board, BFCFG_BOARD *record) {
  return Gate<BFRC>("BFGetCfgBoardVFO", {}, OnBoard(board), [&]() -> BFRC {
    if (record == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t position) {
      const bfsim::model::DeviceEntry d = bfsim::model::DeviceOf(b, position);
      *record = BFCFG_BOARD{d.id, d.family, d.index, d.ports, d.serial ? 1u : 0u, {}};
    }));
  });
}

BFRC BFGetCfgDevicesSorted(uint32_t max_devices, uint32_t families, uint32_t order,
                           BFCFG_DEVICE **list) {
  return Gate<BFRC>("BFGetCfgDevicesSorted", {max_devices, families, order}, [&]() -> BFRC {
    if (list == nullptr || max_devices == 0) return BF_ERR_BAD_ARG;
    if (order != BF_CFG_ORDER_SYSTEM && order != BF_CFG_ORDER_FAMILY) return BF_ERR_BAD_ARG;
    if ((families & bfsim::model::kAllFamilies) == 0) return BF_ERR_BAD_BRD_TYPE;
    const auto by = order == BF_CFG_ORDER_FAMILY ? bfsim::model::DeviceOrder::kByFamily
                                                 : bfsim::model::DeviceOrder::kSystem;
    std::vector<bfsim::model::DeviceEntry> devices =
        Sys().WithBoards([&](std::vector<Board> &boards) {
          return bfsim::model::ListDevices(boards, families, by);
        });
    *list = bfsim::api::NewList(devices, max_devices);
    if (*list != nullptr) {
      std::lock_guard lock(bfsim::api::Lists().mutex);
      bfsim::api::Lists().heads.insert(*list);
    }
    return BF_OK;
  });
}

BFRC BFFreeCfgDevices(BFCFG_DEVICE *list) {
  return Gate<BFRC>("BFFreeCfgDevices", {}, [&]() -> BFRC {
    if (list == nullptr) return BF_OK;
    {
      std::lock_guard lock(bfsim::api::Lists().mutex);
      if (bfsim::api::Lists().heads.erase(list) == 0) return BF_ERR_BAD_ARG;
    }
    bfsim::api::DeleteList(list);
    return BF_OK;
  });
}

}  // extern "C"
