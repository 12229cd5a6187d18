// ctab_fill: fills a range of the board's control table.
#include <cstring>
#include <string_view>

#include "io/tokens.hpp"
#include "params/handlers.hpp"
#include "plugin/error_report.hpp"

namespace grabline {

Terr SetCtabFill(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  const std::string_view text(value.par.s, strnlen(value.par.s, kMaxTokenText + 1));
  enum { kIndex, kEntries, kMask, kValue };
  TokenField fields[] = {{"index", TokenKind::kUnsigned},
                         {"num_entries", TokenKind::kUnsigned},
                         {"mask", TokenKind::kHex},
                         {"value", TokenKind::kHex}};
  const TokenText parsed = ParseTokens(text, fields);
  if (parsed == TokenText::kTooLong) return FG_ERR_PARAM_VALUE;
  // A keyword not given counts as 0 here.
  if (fields[kMask].number > 0xFFFF) {
    PrintError("The mask being use is greater than 16-bits. Please use a 16-bit mask.");
    return FG_ERR_PARAM_VALUE;
  }
  if (fields[kValue].number > 0xFFFF) {
    PrintError("The value being use is greater than 16-bits. Please use a 16-bit value.");
    return FG_ERR_PARAM_VALUE;
  }
  for (const TokenField &field : fields) {
    if (!field.seen || !field.fits) return FG_ERR_PARAM_VALUE;
  }
  if (CiCTabFill(call.inst->board->handle, static_cast<uint32_t>(fields[kIndex].number),
                 static_cast<uint32_t>(fields[kEntries].number),
                 static_cast<uint16_t>(fields[kMask].number),
                 static_cast<uint16_t>(fields[kValue].number)) != 0) {
    PrintError("The Ctab fill function failed.");
    return FG_ERR_OPERATION_FAILED;
  }
  return FG_OK;
}

}  // namespace grabline
