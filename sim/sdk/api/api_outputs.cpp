// The LUT mask and the general-purpose outputs.
#include "api/call_gate.hpp"
#include "api/sdk_layer.hpp"

namespace {

constexpr uint32_t kMaxLutBits = 64;

// The LUT that serves pixels of `bits` bits: R64 boards have a third, wide
// LUT above 12 bits; the others switch at 8.
uint8_t LutTypeFor(uint32_t family, uint32_t bits) {
  if (bits <= 8) return 1;
  if (family != CISYS_TYPE_R64) return 2;
  return bits <= 12 ? 2 : 3;
}

}  // namespace

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

BFRC CiLutSetMask(Bd board, uint32_t bits, uint8_t *lut_type) {
  return Gate<BFRC>("CiLutSetMask", {bits}, [&]() -> BFRC {
    if (lut_type == nullptr || bits == 0 || bits > kMaxLutBits) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      b.devices.lut_bits = bits;
      b.devices.lut_type = LutTypeFor(b.config.family, bits);
      *lut_type = b.devices.lut_type;
    }));
  });
}

BFRC CiRegGPOutGet(Bd board, uint32_t *value) {
  return Gate<BFRC>("CiRegGPOutGet", {}, [&]() -> BFRC {
    if (value == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { *value = b.devices.gpout; }));
  });
}

BFRC CiRegGPOutSet(Bd board, uint32_t value) {
  return Gate<BFRC>("CiRegGPOutSet", {value}, [&]() -> BFRC {
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { b.devices.gpout = value; }));
  });
}

}  // extern "C"
