// Register access by identifier. Identifiers the version or the board does
// not have read 0 and swallow writes, as on the hardware.
#include <cstring>

#include "api/call_gate.hpp"
#include "api/sdk_layer.hpp"
#include "model/registers.hpp"

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

uint32_t BFRegPeek(Bd board, uint32_t id) {
  return Gate<uint32_t>("BFRegPeek", {id}, [&] {
    uint32_t value = 0;
    Sys().WithBoard(IdOf(board),
                    [&](Board &b, uint32_t) { value = bfsim::model::ReadRegister(b, id); });
    return value;
  });
}

BFRC BFRegPoke(Bd board, uint32_t id, uint32_t value) {
  return Gate<BFRC>("BFRegPoke", {id, value}, [&]() -> BFRC {
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      bfsim::model::WriteRegister(b, id, value, 0xFFFFFFFFu);
    }));
  });
}

BFRC BFRegRMW(Bd board, uint32_t id, uint32_t value, uint32_t mask) {
  return Gate<BFRC>("BFRegRMW", {id, value, mask}, [&]() -> BFRC {
    return ToCode(Sys().WithBoard(
        IdOf(board), [&](Board &b, uint32_t) { bfsim::model::WriteRegister(b, id, value, mask); }));
  });
}

// The name, or an empty text and BF_ERR_BAD_ARG when there is none or it does
// not fit: a cut name could match another register.
BFRC BFRegName(Bd board, uint32_t id, char *name, uint32_t size) {
  return Gate<BFRC>("BFRegName", {id, size}, [&]() -> BFRC {
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

uint32_t BFRegSupported(Bd board, uint32_t id) {
  return Gate<uint32_t>("BFRegSupported", {id}, [&] {
    uint32_t supported = 0;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      supported = bfsim::model::Registers().Supported(id, b.config) ? 1 : 0;
    });
    return supported;
  });
}

}  // extern "C"
