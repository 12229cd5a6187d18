// The plug-in's one exported entry point, and the allocation of instances.
#include <cstring>

#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

void CopyText(char (&field)[TARVEL_FG_TEXT], const char *text) {
  std::strncpy(field, text, sizeof field - 1);
  field[sizeof field - 1] = '\0';
}

// The par host's record has no callback slots; the layout decides.
template <typename Ops>
void WriteCallbackOperations(Ops &ops) {
  // One assertion outside the branches: clang checks a discarded branch's too.
  static_assert(requires { ops.set_callback; } == kProfile.has_callbacks);
  if constexpr (requires { ops.set_callback; }) {
    ops.set_callback = FGSetCallback;
    ops.get_callback = FGGetCallback;
  }
}

}  // namespace

TFgInstance **FGAllocInstance(Tproc_handle, TFgInstance *fginst) {
  if (fginst == nullptr || fgClass == nullptr) return nullptr;
  if (g_open_instances >= kProfile.max_instances) return nullptr;
  for (uint32_t i = 0; i < kProfile.max_instances; ++i) {
    if (g_instances[i].board == nullptr) {
      // Binding does not take the record: only a successful open does, by
      // setting `board`, so two allocations without an open return one slot.
      fginst->currInst = &g_instances[i];
      return &fgClass->instance[i];
    }
  }
  return nullptr;
}

}  // namespace grabline


extern "C" __attribute__((visibility("default"))) Terr FGInit(Tproc_handle, TFgClass *fg_class) {
  using namespace grabline;
  ClearInstanceTable();
  if (fg_class == nullptr) return FG_OK;  // nothing to fill; the table is ready

  fg_class->interface_version = kProfile.interface_version;
  fg_class->class_flag = 1;
  fg_class->instances_num = 0;
  fg_class->instances_max = static_cast<int32_t>(kProfile.max_instances);

  fg_class->horizontal_resolution = 1;
  fg_class->vertical_resolution = 1;
  fg_class->image_width = 0;
  fg_class->image_height = 0;
  fg_class->start_row = 0;
  fg_class->start_column = 0;
  fg_class->field = 4;
  fg_class->bits_per_channel = -1;

  fgClass = fg_class;
  g_open_instances = 0;

  CopyText(fg_class->color_space, "gray");
  fg_class->gain = 1.0f;
  fg_class->external_trigger = 0;
  CopyText(fg_class->camera_type, "default");
  CopyText(fg_class->device, "default");
  fg_class->port = 0;
  fg_class->line_in = 1;

  fg_class->ops.alloc_instance = FGAllocInstance;
  fg_class->ops.open = FGOpen;
  fg_class->ops.close = FGClose;
  fg_class->ops.grab = FGGrab;
  fg_class->ops.grab_start = FGGrabStart;
  fg_class->ops.grab_async = FGGrabAsync;
  fg_class->param_ops.info = FGInfo;
  fg_class->param_ops.set_param = FGSetParam;
  fg_class->param_ops.get_param = FGGetParam;
  fg_class->param_ops.set_lut = FGSetLut;
  fg_class->param_ops.get_lut = FGGetLut;
  WriteCallbackOperations(fg_class->param_ops);
  return FG_OK;
}
