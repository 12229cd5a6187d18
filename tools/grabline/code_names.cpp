#include "code_names.hpp"

#include <string_view>

#include "plugin/result_code_names.hpp"
#include "tarvel.h"

namespace grabline::tool {
namespace {

static_assert(std::string_view(ResultCodeName(kCodeUnsupported, 2)) == "FG_ERR_UNSUPPORTED");
static_assert(std::string_view(ResultCodeName(kCodeTimeout, 2)) == "FG_ERR_TIMEOUT");
static_assert(std::string_view(ResultCodeName(kCodeSerialNotCl, 2)) == "FG_ERR_SERIAL_NOT_CL");

// The host's own codes, for failures of its calls rather than the plug-in's.
const char *HostCodeName(int32_t code) {
  switch (code) {
    case T_ERR_MEM:
      return "T_ERR_MEM";
    case T_ERR_IMAGE:
      return "T_ERR_IMAGE";
    case T_ERR_MUTEX:
      return "T_ERR_MUTEX";
    case T_ERR_GLVAR:
      return "T_ERR_GLVAR";
    case T_ERR_ARGUMENT:
      return "T_ERR_ARGUMENT";
    case T_ERR_NO_INSTANCE:
      return "T_ERR_NO_INSTANCE";
    default:
      return nullptr;
  }
}

}  // namespace

std::string CodeName(int32_t code, int32_t ok_code) {
  const char *name = ResultCodeName(code, ok_code);
  if (name == nullptr) name = HostCodeName(code);
  return name != nullptr ? name : "";
}

std::string CodeText(int32_t code, int32_t ok_code) {
  const std::string name = CodeName(code, ok_code);
  if (name.empty()) return "code " + std::to_string(code);
  return name + " (" + std::to_string(code) + ")";
}

}  // namespace grabline::tool
