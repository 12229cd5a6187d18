// Driver, system enumeration, and opening and closing boards.
#include <optional>
#include <string_view>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

namespace bfsim::api {
namespace {

bool IsFamily(uint32_t family) {
  return family == CISYS_TYPE_RR || family == CISYS_TYPE_RV || family == CISYS_TYPE_R64 ||
         family == CISYS_TYPE_GN2;
}

BFRC Found(model::Status status, uint32_t position, CiENTRY *entry) {
  if (status == model::Status::kOk) FillEntry(*entry, position, Sys().Generation());
  return ToCode(status);
}

// The open calls differ only in the camera they load and the held code.
BFRC OpenBoard(CiENTRY *entry, Bd *board, std::optional<std::string_view> camera, BFRC held) {
  if (entry == nullptr || board == nullptr || entry->opaque[0] != kEntryMagic) {
    return BF_ERR_BAD_ARG;
  }
  uint64_t generation = entry->opaque[2] | (uint64_t{entry->opaque[3]} << 32);
  uint64_t handle = 0;
  model::Status status = Sys().Open(entry->opaque[1], generation, camera, handle);
  if (status == model::Status::kHeld) return held;
  if (status == model::Status::kOk) *board = HandleOf<Bd>(handle);
  return ToCode(status);
}

// The open calls name the camera they ask for.
struct OfCamera {
  explicit OfCamera(const char *c) : camera(c) {}
  Detail operator()() const { return Detail{camera == nullptr ? "" : camera, {}}; }
  const char *camera;
};

}  // namespace

void FillEntry(CiENTRY &entry, uint32_t position, uint64_t generation) {
  entry = CiENTRY{};
  entry.opaque[0] = kEntryMagic;
  entry.opaque[1] = position;
  entry.opaque[2] = static_cast<uint32_t>(generation);
  entry.opaque[3] = static_cast<uint32_t>(generation >> 32);
}

}  // namespace bfsim::api

using bfsim::api::Gate;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;

extern "C" {

BFRC BFDrvReady(uint32_t wait_seconds) {
  // Waiting for a driver that is not ready would only delay the same answer.
  return Gate<BFRC>("BFDrvReady", {wait_seconds},
                    []() -> BFRC { return Sys().DriverReady() ? BF_OK : BF_ERR_DRV_NOT_READY; });
}

BFRC CiSysBrdEnum(uint32_t family, uint32_t *count) {
  return Gate<BFRC>("CiSysBrdEnum", {family}, [&]() -> BFRC {
    if (count == nullptr) return BF_ERR_BAD_ARG;
    if (!bfsim::api::IsFamily(family)) return BF_ERR_BAD_BRD_TYPE;
    return ToCode(Sys().Count(family, *count));
  });
}

BFRC CiSysBrdFind(uint32_t family, uint32_t index, CiENTRY *entry) {
  return Gate<BFRC>("CiSysBrdFind", {family, index}, [&]() -> BFRC {
    if (entry == nullptr) return BF_ERR_BAD_ARG;
    if (!bfsim::api::IsFamily(family)) return BF_ERR_BAD_BRD_TYPE;
    uint32_t position = 0;
    bfsim::model::Status status = Sys().Find(family, index, position);
    return bfsim::api::Found(status, position, entry);
  });
}

BFRC CiSysBoardFindSWConnector(uint32_t families, uint32_t switch_number, uint32_t connector,
                               CiENTRY *entry) {
  return Gate<BFRC>("CiSysBoardFindSWConnector", {families, switch_number, connector},
                    [&]() -> BFRC {
                      if (entry == nullptr) return BF_ERR_BAD_ARG;
                      if ((families & bfsim::model::kAllFamilies) == 0) return BF_ERR_BAD_BRD_TYPE;
                      uint32_t position = 0;
                      bfsim::model::Status status =
                          Sys().FindBySwitch(families, switch_number, connector, position);
                      return bfsim::api::Found(status, position, entry);
                    });
}

BFRC CiBrdOpen(CiENTRY *entry, Bd *board, uint32_t mode, const char *camera) {
  return Gate<BFRC>("CiBrdOpen", {mode}, bfsim::api::OfCamera(camera), [&]() -> BFRC {
    if (camera == nullptr) return BF_ERR_BAD_ARG;
    std::optional<std::string_view> file;  // "default": the board's own camera
    if (std::string_view(camera) != "default") file = camera;
    return bfsim::api::OpenBoard(entry, board, file, BF_ERR_BRD_HELD);
  });
}

BFRC CiBrdOpenCam(CiENTRY *entry, Bd *board, uint32_t mode, const char *camera_file) {
  return Gate<BFRC>("CiBrdOpenCam", {mode}, bfsim::api::OfCamera(camera_file), [&]() -> BFRC {
    if (camera_file == nullptr) return BF_ERR_BAD_ARG;
    return bfsim::api::OpenBoard(entry, board, std::string_view(camera_file), BF_ERR_BRD_HELD_CAM);
  });
}

BFRC CiBrdClose(Bd board) {
  return Gate<BFRC>("CiBrdClose", {}, OnBoard(board),
                    [&]() -> BFRC { return ToCode(Sys().Close(bfsim::api::IdOf(board))); });
}

}  // extern "C"
