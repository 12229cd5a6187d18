// The general-purpose outputs and the control table.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"
#include "model/lines.hpp"

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

BFRC CiRegGPOutGet(Bd board, uint32_t *value) {
  return Gate<BFRC>("CiRegGPOutGet", {}, OnBoard(board), [&]() -> BFRC {
    if (value == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { *value = b.devices.gpout; }));
  });
}

BFRC CiRegGPOutSet(Bd board, uint32_t mask, uint32_t level) {
  return Gate<BFRC>("CiRegGPOutSet", {mask, level}, OnBoard(board), [&]() -> BFRC {
    bfsim::model::Status status = bfsim::model::Status::kBadArg;
    Sys().WithBoard(IdOf(board),
                    [&](Board &b, uint32_t) { status = bfsim::model::SetOutputs(b, mask, level); });
    return ToCode(status);
  });
}

BFRC CiCTabFill(Bd board, uint32_t index, uint32_t count, uint16_t mask, uint16_t value) {
  return Gate<BFRC>("CiCTabFill", {index, count, mask, value}, OnBoard(board), [&]() -> BFRC {
    bfsim::model::Status status = bfsim::model::Status::kBadArg;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      status = b.devices.ctab.Fill(index, count, mask, value);
    });
    return ToCode(status);
  });
}

}  // extern "C"
