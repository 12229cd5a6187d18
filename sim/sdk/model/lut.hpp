// lut.hpp — a board's look-up table memory: four banks of 16-bit entries,
// reached through channel masks.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model/status.hpp"

namespace bfsim::model {

inline constexpr uint32_t kLutBanks = 4;
inline constexpr uint32_t kLutEntries = 4096;

// Which boards have a LUT (system file key "lut").
enum class LutSupport : uint8_t { kFull, kNone, kNo14 };

class LutMemory {
 public:
  LutMemory() : entries_(size_t{kLutBanks} * kLutEntries, 0) {}

  // A write reaches every bank of `mask`; entries of 1 or 2 bytes, each
  // stored in 16 bits. Refused without any change when the mask, the entry
  // size or the range is wrong.
  Status Write(uint32_t mask, uint32_t start, uint32_t count, const void *data,
               uint32_t entry_bytes);
  // A read names exactly one bank; 1-byte entries take the low 8 bits.
  Status Read(uint32_t mask, uint32_t start, uint32_t count, void *data,
              uint32_t entry_bytes) const;
  Status Poke(uint32_t mask, uint32_t index, uint32_t value);
  std::optional<uint16_t> Peek(uint32_t mask, uint32_t index) const;

  // One bank, for the control API.
  std::vector<uint16_t> Bank(uint32_t bank) const;

 private:
  uint16_t &At(uint32_t bank, uint32_t index) {
    return entries_[size_t{bank} * kLutEntries + index];
  }
  uint16_t At(uint32_t bank, uint32_t index) const {
    return entries_[size_t{bank} * kLutEntries + index];
  }
  std::vector<uint16_t> entries_;
};

}  // namespace bfsim::model
