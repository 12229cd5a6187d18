// Register access by identifier. Identifiers the version or the board does
// not have read 0 and swallow writes, as on the hardware.
#include <cstring>
#include <functional>
#include <optional>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/programmed.hpp"
#include "api/sdk_layer.hpp"
#include "model/registers.hpp"

// The camera's registers on CoaXPress boards: a disconnected camera answers
// nothing, an address it does not have is refused.
namespace {

using bfsim::api::IdOf;
using bfsim::api::Sys;
using bfsim::model::Board;

BFRC CxpAccess(Bd board, uint32_t link,
               const std::function<bool(bfsim::model::CxpRegisters &)> &access) {
  if (link != BF_CXP_LINK_OWN && link > bfsim::model::kMaxVfg) return BF_ERR_BAD_ARG;
  BFRC result = BF_ERR_BAD_ARG;
  Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
    if (!b.config.cxp) {
      result = BF_ERR_BAD_BRD_TYPE;
    } else if (!b.camera_connected) {
      result = BF_ERR_NO_CAMERA;
    } else {
      result = access(b.cxp) ? BF_OK : BF_ERR_BAD_ARG;
    }
  });
  return result;
}

}  // namespace

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

uint32_t BFRegPeek(Bd board, uint32_t id) {
  return Gate<uint32_t>("BFRegPeek", {id}, OnBoard(board), [&] {
    uint32_t value = 0;
    std::optional<uint32_t> position;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t p) {
      value = bfsim::model::ReadRegister(b, id);
      position = p;
    });
    // Outside the board's lock: a test's hook may drive the board.
    return position ? bfsim::api::ProgrammedRead(*position, id, value) : value;
  });
}

BFRC BFRegPoke(Bd board, uint32_t id, uint32_t value) {
  return Gate<BFRC>("BFRegPoke", {id, value}, OnBoard(board), [&]() -> BFRC {
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      bfsim::model::WriteRegister(b, id, value, 0xFFFFFFFFu);
    }));
  });
}

BFRC BFRegRMW(Bd board, uint32_t id, uint32_t value, uint32_t mask) {
  return Gate<BFRC>("BFRegRMW", {id, value, mask}, OnBoard(board), [&]() -> BFRC {
    return ToCode(Sys().WithBoard(
        IdOf(board), [&](Board &b, uint32_t) { bfsim::model::WriteRegister(b, id, value, mask); }));
  });
}

// The name, or an empty text and BF_ERR_BAD_ARG when there is none or it does
// not fit: a cut name could match another register.
BFRC BFRegName(Bd board, uint32_t id, char *name, uint32_t size) {
  return Gate<BFRC>("BFRegName", {id, size}, OnBoard(board), [&]() -> BFRC {
    if (name == nullptr || size == 0) return BF_ERR_BAD_ARG;
    name[0] = '\0';
    const bfsim::model::RegisterTable &table = bfsim::model::Registers();
    BFRC result = ToCode(Sys().WithBoard(IdOf(board), [](Board &, uint32_t) {}));
    if (result != BF_OK) return result;
    if (!table.Known(id) || table.defs[id].name.size() >= size) return BF_ERR_BAD_ARG;
    std::memcpy(name, table.defs[id].name.c_str(), table.defs[id].name.size() + 1);
    return BF_OK;
  });
}

BFRC BFCXPReadReg(Bd board, uint32_t link, uint32_t address, uint32_t *value) {
  return Gate<BFRC>("BFCXPReadReg", {link, address}, OnBoard(board), [&]() -> BFRC {
    if (value == nullptr) return BF_ERR_BAD_ARG;
    return CxpAccess(board, link, [&](bfsim::model::CxpRegisters &cxp) {
      const std::optional<uint32_t> read = cxp.Read(address);
      if (read) *value = *read;
      return read.has_value();
    });
  });
}

BFRC BFCXPWriteReg(Bd board, uint32_t link, uint32_t address, uint32_t value) {
  return Gate<BFRC>("BFCXPWriteReg", {link, address, value}, OnBoard(board), [&]() -> BFRC {
    return CxpAccess(board, link,
                     [&](bfsim::model::CxpRegisters &cxp) { return cxp.Write(address, value); });
  });
}

uint32_t BFRegSupported(Bd board, uint32_t id) {
  return Gate<uint32_t>("BFRegSupported", {id}, OnBoard(board), [&] {
    uint32_t supported = 0;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      supported = bfsim::model::Registers().Supported(id, b.config) ? 1 : 0;
    });
    return supported;
  });
}

}  // extern "C"
