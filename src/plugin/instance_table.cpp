#include "plugin/instance_table.hpp"

#include <memory>

namespace grabline {

InstanceRecord g_instances[kProfile.max_instances];
TFgClass *fgClass = nullptr;
uint32_t g_open_instances = 0;

void ClearInstanceTable() {
  for (uint32_t i = 0; i < kProfile.max_instances; ++i) {
    // The record holds atomics, so it is rebuilt rather than overwritten.
    std::destroy_at(&g_instances[i]);
    std::construct_at(&g_instances[i]);
    g_instances[i].instance_index = i;
  }
}

}  // namespace grabline
