// Direct register access by name or identifier, and the CoaXPress camera's
// registers by address.
#include <cstring>
#include <optional>

#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {
namespace {

// The first supported register whose name matches, without regard to case.
std::optional<uint32_t> FindRegister(Bd board, std::string_view name) {
  char found[1024];
  for (uint32_t id = 0; id < kProfile.reg.count; ++id) {
    if (BFRegSupported(board, id) == 0) continue;
    if (BFRegName(board, id, found, sizeof found) != 0) continue;
    found[sizeof found - 1] = '\0';
    if (EqualsIgnoreCase(found, name)) return id;
  }
  return std::nullopt;
}

Bd BoardOf(const ParamCall &call) { return call.inst->board->handle; }

}  // namespace

Terr GetRegisterPeek(GetCall &call) {
  const auto id = FindRegister(BoardOf(call), call.word);
  if (!id) {
    PrintError("Register not found.");
    return FG_ERR_UNSUPPORTED;
  }
  AnswerInt(call, BFRegPeek(BoardOf(call), *id));
  return FG_OK;
}

Terr GetRegisterIndex(GetCall &call) {
  const auto id = FindRegister(BoardOf(call), call.word);
  if (!id) {
    PrintError("Register not found.");
    return FG_ERR_UNSUPPORTED;
  }
  AnswerInt(call, *id);
  return FG_OK;
}

Terr GetRegisterIndexPeek(GetCall &call) {
  // The identifier goes to the SDK unchecked; the SDK answers for it.
  AnswerInt(call, BFRegPeek(BoardOf(call), static_cast<uint32_t>(call.number)));
  return FG_OK;
}

Terr SetRegisterPoke(SetCall &call) {
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  const auto id = FindRegister(BoardOf(call), call.word);
  if (!id) {
    PrintError("Register not found in parameter 'reg_poke'.");
    return FG_ERR_UNSUPPORTED;
  }
  if (BFRegPoke(BoardOf(call), *id, static_cast<uint32_t>(call.first().par.l)) != 0) {
    PrintError("Register poke failed.");
    return FG_ERR_UNSUPPORTED;
  }
  return FG_OK;
}

// CoaXPress camera registers, on the board's own link.
constexpr uint32_t kCxpOwnLink = 255;

Terr GetCxpPeek(GetCall &call) {
  uint32_t value = 0;
  if (BFCXPReadReg(BoardOf(call), kCxpOwnLink, static_cast<uint32_t>(call.number), &value) != 0) {
    PrintError("CXP peek failed.");
    return FG_ERR_GET_FAILED;
  }
  AnswerInt(call, value);
  return FG_OK;
}

Terr SetCxpPoke(SetCall &call) {
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (BFCXPWriteReg(BoardOf(call), kCxpOwnLink, static_cast<uint32_t>(call.number),
                    static_cast<uint32_t>(call.first().par.l)) != 0) {
    PrintError("CXP poke failed.");
    return FG_ERR_GET_FAILED;
  }
  return FG_OK;
}

Terr SetRegisterIndexPoke(SetCall &call) {
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (BFRegPoke(BoardOf(call), static_cast<uint32_t>(call.number),
                static_cast<uint32_t>(call.first().par.l)) != 0) {
    PrintError("Register index poke failed.");
    return FG_ERR_UNSUPPORTED;
  }
  return FG_OK;
}

}  // namespace grabline
