// The board's look-up table: the class operations that write and read it,
// and the parameter 'lut' that switches it on and off.
#include <algorithm>
#include <cstdint>

#include "board/family.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

constexpr uint32_t kBankSet = 0;
constexpr uint32_t kRed = 1;  // also the gray channel when reading
constexpr uint32_t kGreen = 2;
constexpr uint32_t kBlue = 4;
constexpr uint32_t kGrayWide = 3;     // gray writes of 10 and 12 bits
constexpr uint32_t kGrayNarrow = 15;  // gray writes of 8 bits
constexpr uint32_t kBlueBanks = 12;   // colour blue writes off R64 boards
constexpr uint8_t kWideLutType = 3;   // not writable off R64 boards
constexpr int32_t kColourEntries = 256;
// The blocks written off R64 boards; longer tables are cut to them.
constexpr int32_t kByteBlock = 256;
constexpr int32_t kWordBlock = 4096;

constexpr uint32_t kSwitchHigh = 0x800000;
constexpr uint32_t kSwitchLow = 0x8000;

// Entries of a LUT of `bits` bits, 0 for depths without one.
int32_t LutEntries(int32_t bits) {
  return bits == 8 ? 256 : bits == 10 ? 1024 : bits == 12 ? 4096 : 0;
}

struct Lut {
  InstanceRecord &inst;
  Bd board;
  uint8_t type;
  int32_t bits;
  bool gray;

  // An SDK refusal of a LUT call: reported, and the LUT is not usable.
  bool Failed(uint32_t e) const { return SdkCheck(board, &inst, e) != 0; }

  // Off R64 boards: the board model tells whether there is a LUT at all.
  bool Supported(bool writing) const {
    uint32_t model = 0;
    if (Failed(CiBrdInquire(board, BF_INQ_BRD_MODEL, &model))) return false;
    if (model == kProfile.models.no_lut) return false;
    if (model == kProfile.models.no_lut_14 && bits == 14) return false;
    return !writing || type != kWideLutType;
  }

  uint32_t Poke(uint32_t mask, int32_t index, int64_t value) const {
    // The board takes the low 32 bits of the host's integer.
    return CiLutPoke(board, type, kBankSet, mask, static_cast<uint32_t>(index),
                     static_cast<uint32_t>(value));
  }
  uint32_t Peek(uint32_t mask, int32_t index) const {
    return CiLutPeek(board, type, kBankSet, mask, static_cast<uint32_t>(index));
  }
  template <typename T>
  uint32_t Write(uint32_t mask, uint32_t start, const T *block, int32_t count) const {
    return CiLutWrite(board, type, kBankSet, mask, start, static_cast<uint32_t>(count), block,
                      sizeof(T));
  }
  template <typename T>
  uint32_t Read(uint32_t mask, T *block, int32_t count) const {
    return CiLutRead(board, type, kBankSet, mask, 0, static_cast<uint32_t>(count), block,
                     sizeof(T));
  }
};

Terr WriteR64(const Lut &lut, const int64_t *red, const int64_t *green, const int64_t *blue,
              int32_t n) {
  if (lut.gray) {
    const int32_t entries = LutEntries(lut.bits);
    if (entries == 0) return FG_OK;
    if (n < entries) return FG_ERR_LUT_LENGTH;
    const uint32_t mask = lut.bits == 8 ? kGrayNarrow : kGrayWide;
    for (int32_t i = 0; i < n; ++i) {
      if (lut.Failed(lut.Poke(mask, i, red[i]))) return FG_ERR_LUT_UNSUPPORTED;
    }
    return FG_OK;
  }
  if (n < kColourEntries) return FG_ERR_LUT_LENGTH;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t e =
        lut.Poke(kRed, i, red[i]) | lut.Poke(kGreen, i, green[i]) | lut.Poke(kBlue, i, blue[i]);
    if (lut.Failed(e)) return FG_ERR_LUT_UNSUPPORTED;
  }
  return FG_OK;
}

template <typename T, int32_t kSize>
struct Block {
  T entries[kSize];
  int32_t count;
  // The low bits of the table's first entries, at most a block full.
  Block(const int64_t *table, int32_t n) : count(std::min(n, kSize)) {
    for (int32_t i = 0; i < count; ++i) entries[i] = static_cast<T>(table[i]);
  }
};

Terr WriteBlocks(const Lut &lut, const int64_t *red, const int64_t *green, const int64_t *blue,
                 int32_t n) {
  if (!lut.Supported(true)) return FG_ERR_LUT_UNSUPPORTED;
  uint32_t e = 0;
  if (lut.gray) {
    const int32_t entries = LutEntries(lut.bits);
    if (entries == 0) return FG_OK;
    if (n < entries) return FG_ERR_LUT_LENGTH;
    if (lut.bits == 8) {
      const Block<uint8_t, kByteBlock> block(red, n);
      e = lut.Write(kGrayNarrow, 0, block.entries, block.count);
    } else {
      const Block<uint16_t, kWordBlock> block(red, n);
      // A 10-bit LUT fills the 12-bit address space four times over.
      const uint32_t copies = lut.bits == 10 ? 4 : 1;
      for (uint32_t k = 0; k < copies; ++k) {
        e |= lut.Write(kGrayWide, k * static_cast<uint32_t>(block.count), block.entries,
                       block.count);
      }
    }
    return lut.Failed(e) ? FG_ERR_LUT_UNSUPPORTED : FG_OK;
  }
  if (n < kColourEntries) return FG_ERR_LUT_LENGTH;
  const std::pair<const int64_t *, uint32_t> channels[] = {
      {red, kRed}, {green, kGreen}, {blue, kBlueBanks}};
  for (const auto &[table, mask] : channels) {
    const Block<uint8_t, kByteBlock> block(table, n);
    if (lut.Failed(lut.Write(mask, 0, block.entries, block.count))) {
      return FG_ERR_LUT_UNSUPPORTED;
    }
  }
  return FG_OK;
}

Terr ReadR64(const Lut &lut, int64_t *red, int64_t *green, int64_t *blue, int32_t *num) {
  // Depths without a LUT read nothing, colour ones too: a length left as
  // the caller gave it could reach past the caller's tables.
  const int32_t entries = LutEntries(lut.bits);
  if (entries == 0) return FG_OK;
  *num = entries;
  for (int32_t i = 0; i < entries; ++i) {
    if (lut.gray) {
      red[i] = green[i] = blue[i] = int64_t(lut.Peek(kRed, i));
    } else {
      red[i] = int64_t(lut.Peek(kRed, i));
      green[i] = int64_t(lut.Peek(kGreen, i));
      blue[i] = int64_t(lut.Peek(kBlue, i));
    }
  }
  return FG_OK;
}

Terr ReadBlocks(const Lut &lut, int64_t *red, int64_t *green, int64_t *blue, int32_t *num) {
  if (!lut.Supported(false)) return FG_ERR_LUT_UNSUPPORTED;
  if (lut.gray) {
    const int32_t entries = LutEntries(lut.bits);
    if (entries == 0) return FG_OK;
    uint16_t words[kWordBlock];
    uint8_t bytes[kByteBlock];
    const uint32_t e =
        lut.bits == 8 ? lut.Read(kRed, bytes, entries) : lut.Read(kRed, words, entries);
    if (lut.Failed(e)) return FG_ERR_LUT_UNSUPPORTED;
    for (int32_t i = 0; i < entries; ++i) {
      red[i] = green[i] = blue[i] = lut.bits == 8 ? bytes[i] : words[i];
    }
    *num = entries;
    return FG_OK;
  }
  const std::pair<int64_t *, uint32_t> channels[] = {{red, kRed}, {green, kGreen}, {blue, kBlue}};
  for (const auto &[table, mask] : channels) {
    uint8_t bytes[kColourEntries];
    if (lut.Failed(lut.Read(mask, bytes, kColourEntries))) return FG_ERR_LUT_UNSUPPORTED;
    std::copy(bytes, bytes + kColourEntries, table);
  }
  *num = kColourEntries;
  return FG_OK;
}

}  // namespace

Terr FGSetLut(Tproc_handle, TFgInstance *fginst, int64_t *red, int64_t *green, int64_t *blue,
              int32_t num) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  const Lut lut{*inst, inst->board->handle, inst->lut_type, fginst->bits_per_channel,
                fginst->num_channels == 1};
  if (red == nullptr || (!lut.gray && (green == nullptr || blue == nullptr))) {
    return FG_ERR_PARAM_VALUE;
  }
  if (BFIsR64(lut.board) != 0) return WriteR64(lut, red, green, blue, num);
  return WriteBlocks(lut, red, green, blue, num);
}

Terr FGGetLut(Tproc_handle, TFgInstance *fginst, int64_t *red, int64_t *green, int64_t *blue,
              int32_t *num) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  if (red == nullptr || green == nullptr || blue == nullptr || num == nullptr) {
    return FG_ERR_PARAM_VALUE;
  }
  const Lut lut{*inst, inst->board->handle, inst->lut_type, fginst->bits_per_channel,
                fginst->num_channels == 1};
  if (BFIsR64(lut.board) != 0) return ReadR64(lut, red, green, blue, num);
  return ReadBlocks(lut, red, green, blue, num);
}

Terr SetLut(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  if (IsGn2(inst)) return FG_OK;  // the Gn2 LUT is not switched here
  Bd board = inst.board->handle;
  const uint32_t bit = (BFRegPeek(board, kProfile.reg.lut_switch) & bfsdk::kLutSwitchBit) != 0
                           ? kSwitchHigh
                           : kSwitchLow;
  bool enable = false;
  if (EqualsIgnoreCase(value.par.s, "enable")) {
    enable = true;
  } else if (!EqualsIgnoreCase(value.par.s, "disable")) {
    return FG_ERR_PARAM_VALUE;
  }
  if (BFRegRMW(board, kProfile.reg.lut_switch, enable ? bit : 0, bit) != 0) {
    return FG_ERR_OPERATION_FAILED;
  }
  inst.lut_enabled = enable ? 1 : 0;
  return FG_OK;
}

Terr GetLut(GetCall &call) {
  AnswerFlag(call, call.inst->lut_enabled == 1, "enable", "disable");
  return FG_OK;
}

}  // namespace grabline
