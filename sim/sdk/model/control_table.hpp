// control_table.hpp — the board's control table (CTab): 16-bit entries whose
// bits the plug-in fills range by range.
#pragma once

#include <cstdint>
#include <vector>

#include "model/status.hpp"

namespace bfsim::model {

inline constexpr uint32_t kCTabEntries = 16384;

class ControlTable {
 public:
  ControlTable() : entries_(kCTabEntries, 0) {}
  // Entries index .. index+count-1 take the bits of `value` that `mask`
  // selects; a range past the table is refused without any change.
  Status Fill(uint32_t index, uint32_t count, uint16_t mask, uint16_t value);
  const std::vector<uint16_t> &Entries() const { return entries_; }

 private:
  std::vector<uint16_t> entries_;
};

}  // namespace bfsim::model
