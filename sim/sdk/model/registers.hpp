// registers.hpp — the register table of this SDK version and the register
// file of each board.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bfsdk_regs.hpp"
#include "model/board.hpp"

namespace bfsim::model {

struct RegisterDef {
  std::string name;         // "" where the version has no register
  uint32_t families = 0;    // mask of the families that have it
  bool cxp_only = false;    // only CoaXPress boards have it
  bool cl_only = false;     // only Camera Link boards have it
  uint32_t fixed_mask = 0;  // bits the board drives itself; pokes leave them alone
  uint32_t width_mask = 0xFFFFFFFFu;  // bits the register has; the others read 0
};

struct RegisterTable {
  uint32_t count = 0;             // identifiers below it are searched by name
  std::vector<RegisterDef> defs;  // index = identifier; may reach above count

  bool Known(uint32_t id) const { return id < defs.size() && !defs[id].name.empty(); }
  bool Supported(uint32_t id, const BoardConfig &board) const;
  // Exact-case search over every identifier the version knows.
  std::optional<uint32_t> Find(std::string_view name) const;
};

RegisterTable BuildRegisterTable(bfsdk::SdkVersion version);
// The table of the version this library was built as.
const RegisterTable &Registers();

// Register file of a board: sized by the table, with the reset values that
// depend on the board's properties.
void ResetRegisters(Board &board);
// Registers the board does not have read 0 and ignore writes.
uint32_t ReadRegister(const Board &board, uint32_t id);
// new = (old & ~mask) | (value & mask), except fixed bits unless `force`.
void WriteRegister(Board &board, uint32_t id, uint32_t value, uint32_t mask, bool force = false);

}  // namespace bfsim::model
