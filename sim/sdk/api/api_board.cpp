// Board inquiry, camera ports, acquisition settings and the family queries.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

namespace bfsim::api {
namespace {

using model::Board;
using model::BoardConfig;

BFRC Inquire(const Board &board, uint32_t item, uint32_t &value) {
  const model::Camera &camera = board.CurrentCamera();
  switch (item) {
    case BF_INQ_MODEL:
      value = board.config.model_code;
      break;
    case BF_INQ_BRD_MODEL: {
      const bfsdk::BoardModels &models = bfsdk::ModelsOf(bfsim::Version());
      value = board.config.lut == model::LutSupport::kNone   ? models.no_lut
              : board.config.lut == model::LutSupport::kNo14 ? models.no_lut_14
                                                             : models.with_lut;
      break;
    }
    case BF_INQ_NUM_CAMERAS:
      value = board.config.ports;
      break;
    case BF_INQ_XSIZE:
      value = model::WindowOf(board).width;
      break;
    case BF_INQ_YSIZE:
      value = model::WindowOf(board).height;
      break;
    case BF_INQ_FRAME_BYTES:
      value = model::FrameBytes(board);
      break;
    case BF_INQ_INTERLACE:
      value = camera.interlace;
      break;
    case BF_INQ_BITDEPTH:
      value = camera.depth;
      break;
    case BF_INQ_BYTES_PER_PIX:
      value = camera.bytes_per_pixel;
      break;
    case BF_INQ_TIMEOUT:
      value = camera.timeout_ms;
      break;
    case BF_INQ_FRAME_RATE:
      value = camera.frame_rate;
      break;
    case BF_INQ_BITDEPTH2:
      value = camera.depth2;
      break;
    case BF_INQ_BYTES_PER_PIX2:
      value = camera.bytes_per_pixel2;
      break;
    case BF_INQ_LINK_SPEED:
      if (board.config.family != model::kFamilyGn2) return BF_ERR_BAD_ITEM;
      value = board.config.link_full_speed ? 1 : 0;
      break;
    default:
      return BF_ERR_BAD_ITEM;
  }
  return BF_OK;
}

// A family query: 0 for an unknown handle, as for a board of another family.
uint32_t Is(std::string_view function, Bd board, bool (*test)(const BoardConfig &)) {
  return Gate<uint32_t>(function, {}, OnBoard(board), [&] {
    uint32_t yes = 0;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { yes = test(b.config) ? 1 : 0; });
    return yes;
  });
}

}  // namespace
}  // namespace bfsim::api

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;
using bfsim::model::BoardConfig;

extern "C" {

BFRC CiCamClose(Bd board, CiCam camera) {
  return Gate<BFRC>("CiCamClose", {}, OnBoard(board),
                    [&]() -> BFRC { return ToCode(Sys().CloseCamera(IdOf(board), IdOf(camera))); });
}

BFRC CiBrdInquire(Bd board, uint32_t item, uint32_t *value) {
  return Gate<BFRC>("CiBrdInquire", {item}, OnBoard(board), [&]() -> BFRC {
    if (value == nullptr) return BF_ERR_BAD_ARG;
    BFRC result = BF_ERR_BAD_ARG;
    Sys().WithBoard(IdOf(board),
                    [&](Board &b, uint32_t) { result = bfsim::api::Inquire(b, item, *value); });
    return result;
  });
}

uint32_t CiBrdType(Bd board) {
  return Gate<uint32_t>("CiBrdType", {}, OnBoard(board), [&] {
    uint32_t family = 0;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { family = b.config.family; });
    return family;
  });
}

BFRC CiBrdCamSel(Bd board, uint32_t port, uint32_t flags) {
  return Gate<BFRC>("CiBrdCamSel", {port, flags}, OnBoard(board),
                    [&]() -> BFRC { return ToCode(Sys().SelectPort(IdOf(board), port)); });
}

BFRC CiBrdCamGetCur(Bd board, CiCam *camera) {
  return Gate<BFRC>("CiBrdCamGetCur", {}, OnBoard(board), [&]() -> BFRC {
    if (camera == nullptr) return BF_ERR_BAD_ARG;
    uint64_t id = 0;
    bfsim::model::Status status = Sys().CurrentCamera(IdOf(board), id);
    if (status == bfsim::model::Status::kOk) *camera = bfsim::api::HandleOf<CiCam>(id);
    return ToCode(status);
  });
}

BFRC CiBrdCamSetCur(Bd board, CiCam camera, uint32_t flags) {
  return Gate<BFRC>("CiBrdCamSetCur", {flags}, OnBoard(board), [&]() -> BFRC {
    return ToCode(Sys().SetCurrentCamera(IdOf(board), IdOf(camera)));
  });
}

BFRC CiBrdAqSigSetCur(Bd board, CiSIGNAL *signal, uint32_t flags) {
  return Gate<BFRC>("CiBrdAqSigSetCur", {flags}, bfsim::api::OfSignal(signal), [&]() -> BFRC {
    if (signal == nullptr) return BF_ERR_BAD_ARG;
    if (signal->impl == nullptr) return BF_ERR_SIGNAL;
    return ToCode(Sys().SetAcquisitionSignal(IdOf(board), IdOf(signal->impl)));
  });
}

BFRC CiBrdAqTimeoutSet(Bd board, uint32_t timeout_ms) {
  return Gate<BFRC>("CiBrdAqTimeoutSet", {timeout_ms}, OnBoard(board), [&]() -> BFRC {
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { b.aq_timeout_ms = timeout_ms; }));
  });
}

uint32_t BFIsR64(Bd board) {
  return bfsim::api::Is("BFIsR64", board,
                        [](const BoardConfig &c) { return c.family == CISYS_TYPE_R64; });
}
uint32_t BFIsR64Board(Bd board) {
  return bfsim::api::Is("BFIsR64Board", board, [](const BoardConfig &c) {
    return c.family == CISYS_TYPE_R64 && !c.karbon && !c.neon;
  });
}
uint32_t BFIsRv(Bd board) {
  return bfsim::api::Is("BFIsRv", board,
                        [](const BoardConfig &c) { return c.family == CISYS_TYPE_RV; });
}
uint32_t BFIsKbn(Bd board) {
  return bfsim::api::Is("BFIsKbn", board, [](const BoardConfig &c) { return c.karbon; });
}
uint32_t BFIsNeon(Bd board) {
  return bfsim::api::Is("BFIsNeon", board, [](const BoardConfig &c) { return c.neon; });
}
uint32_t BFIsNeonQ(Bd board) {
  return bfsim::api::Is("BFIsNeonQ", board, [](const BoardConfig &c) { return c.neon_switchable; });
}
uint32_t BFIsAlta(Bd board) {
  return bfsim::api::Is("BFIsAlta", board, [](const BoardConfig &c) { return c.alta; });
}
uint32_t BFIsCL(Bd board) {
  return bfsim::api::Is("BFIsCL", board, [](const BoardConfig &c) { return c.camera_link; });
}
uint32_t BFIsGn2(Bd board) {
  return bfsim::api::Is("BFIsGn2", board,
                        [](const BoardConfig &c) { return c.family == CISYS_TYPE_GN2; });
}
uint32_t BFIsCXP(Bd board) {
  return bfsim::api::Is("BFIsCXP", board, [](const BoardConfig &c) { return c.cxp; });
}

}  // extern "C"
