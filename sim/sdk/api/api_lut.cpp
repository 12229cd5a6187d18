// The LUT: its type for a pixel size, and its memory by blocks and by entry.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"
#include "model/lut.hpp"

namespace {

using bfsim::model::Board;
using bfsim::model::LutSupport;

constexpr uint32_t kMaxLutBits = 64;

// The LUT that serves pixels of `bits` bits: R64 boards have a third, wide
// LUT above 12 bits; the others switch at 8.
uint8_t LutTypeFor(uint32_t family, uint32_t bits) {
  if (bits <= 8) return 1;
  if (family != CISYS_TYPE_R64) return 2;
  return bits <= 12 ? 2 : 3;
}

// A LUT call must name the type the board runs with now and bank set 0, on a
// board that has a LUT for its pixel size.
BFRC CheckLut(const Board &b, uint32_t lut_type, uint32_t bank_set) {
  const LutSupport support = b.config.lut;
  if (support == LutSupport::kNone || (support == LutSupport::kNo14 && b.devices.lut_bits == 14)) {
    return BF_ERR_BAD_BRD_TYPE;
  }
  if (b.devices.lut_type == 0 || lut_type != b.devices.lut_type || bank_set != 0) {
    return BF_ERR_BAD_ARG;
  }
  return BF_OK;
}

// Runs f(Board&) -> BFRC on an open board after the LUT checks.
template <typename F>
BFRC OnLut(Bd board, uint32_t lut_type, uint32_t bank_set, F &&f) {
  BFRC result = BF_ERR_BAD_ARG;
  bfsim::api::Sys().WithBoard(bfsim::api::IdOf(board), [&](Board &b, uint32_t) {
    result = CheckLut(b, lut_type, bank_set);
    if (result == BF_OK) result = f(b);
  });
  return result;
}

// A block as the log shows it: only what the LUT would read of it, so a
// refused size never reads past the caller's data.
auto Block(Bd board, uint32_t start, uint32_t count, const void *data, uint32_t entry_bytes) {
  return [=] {
    bfsim::api::Detail detail{bfsim::api::BoardName(board), {}};
    const bool taken = (entry_bytes == 1 || entry_bytes == 2) &&
                       uint64_t{start} + count <= bfsim::model::kLutEntries;
    if (taken) detail.payload = bfsim::api::Bytes(data, size_t{count} * entry_bytes);
    return detail;
  };
}

// A poked entry as a block of one two-byte entry would hand it over.
auto Entry(Bd board, uint32_t value) {
  return [=] {
    const uint8_t entry[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return bfsim::api::Detail{bfsim::api::BoardName(board), bfsim::api::Bytes(entry, sizeof entry)};
  };
}

}  // namespace

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;

extern "C" {

BFRC CiLutSetMask(Bd board, uint32_t bits, uint8_t *lut_type) {
  return Gate<BFRC>("CiLutSetMask", {bits}, OnBoard(board), [&]() -> BFRC {
    if (lut_type == nullptr || bits == 0 || bits > kMaxLutBits) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      b.devices.lut_bits = bits;
      b.devices.lut_type = LutTypeFor(b.config.family, bits);
      *lut_type = b.devices.lut_type;
    }));
  });
}

BFRC CiLutWrite(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask, uint32_t start,
                uint32_t count, const void *data, uint32_t entry_bytes) {
  return Gate<BFRC>("CiLutWrite", {lut_type, bank_set, mask, start, count, entry_bytes},
                    Block(board, start, count, data, entry_bytes), [&]() -> BFRC {
                      return OnLut(board, lut_type, bank_set, [&](Board &b) {
                        return ToCode(b.devices.lut.Write(mask, start, count, data, entry_bytes));
                      });
                    });
}

BFRC CiLutRead(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask, uint32_t start,
               uint32_t count, void *data, uint32_t entry_bytes) {
  return Gate<BFRC>("CiLutRead", {lut_type, bank_set, mask, start, count, entry_bytes},
                    OnBoard(board), [&]() -> BFRC {
                      return OnLut(board, lut_type, bank_set, [&](Board &b) {
                        return ToCode(b.devices.lut.Read(mask, start, count, data, entry_bytes));
                      });
                    });
}

BFRC CiLutPoke(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask, uint32_t index,
               uint32_t value) {
  return Gate<BFRC>(
      "CiLutPoke", {lut_type, bank_set, mask, index, value}, Entry(board, value), [&]() -> BFRC {
        return OnLut(board, lut_type, bank_set,
                     [&](Board &b) { return ToCode(b.devices.lut.Poke(mask, index, value)); });
      });
}

uint32_t CiLutPeek(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask, uint32_t index) {
  return Gate<uint32_t>("CiLutPeek", {lut_type, bank_set, mask, index}, OnBoard(board), [&] {
    uint32_t value = 0;
    OnLut(board, lut_type, bank_set, [&](Board &b) -> BFRC {
      value = b.devices.lut.Peek(mask, index).value_or(0);
      return BF_OK;
    });
    return value;
  });
}

}  // extern "C"
