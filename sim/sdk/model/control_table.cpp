#include "model/control_table.hpp"

namespace bfsim::model {

Status ControlTable::Fill(uint32_t index, uint32_t count, uint16_t mask, uint16_t value) {
  if (uint64_t{index} + count > kCTabEntries) return Status::kBadArg;
  for (uint32_t i = index; i < index + count; ++i) {
    entries_[i] = static_cast<uint16_t>((entries_[i] & ~mask) | (value & mask));
  }
  return Status::kOk;
}

}  // namespace bfsim::model
