// The application's transfer-end and exposure-end callbacks.
#include <string_view>

#include "params/param_match.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

struct Slot {
  std::atomic<Callback> *function;
  std::atomic<void *> *context;
};

bool SlotOf(InstanceRecord &inst, const char *type, Slot *slot) {
  if (type == nullptr) return false;
  if (std::string_view(type) == "transfer_end") {
    *slot = {&inst.events.transfer_end, &inst.events.transfer_end_context};
    return true;
  }
  if (std::string_view(type) == "exposure_end") {
    *slot = {&inst.events.exposure_end, &inst.events.exposure_end_context};
    return true;
  }
  return false;
}

}  // namespace

Terr FGSetCallback(Tproc_handle, TFgInstance *fginst, const char *type, TFgCallback function,
                   void *context) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  Slot slot{};
  if (!SlotOf(*inst, type, &slot)) return FG_ERR_CALLBACK_TYPE;
  // The context goes first: the event thread reads the function, then it.
  slot.context->store(function != nullptr ? context : nullptr);
  slot.function->store(function);
  return FG_OK;
}

Terr FGGetCallback(Tproc_handle, TFgInstance *fginst, const char *type, TFgCallback *function,
                   void **context) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  Slot slot{};
  if (!SlotOf(*inst, type, &slot)) return FG_ERR_CALLBACK_TYPE;
  if (function != nullptr) *function = slot.function->load();
  if (context != nullptr) *context = slot.context->load();
  return FG_OK;
}

}  // namespace grabline
