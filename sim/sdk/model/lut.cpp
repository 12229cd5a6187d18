#include "model/lut.hpp"

namespace bfsim::model {
namespace {

constexpr uint32_t kAllBanks = (1u << kLutBanks) - 1;

bool InRange(uint32_t start, uint32_t count) { return uint64_t{start} + count <= kLutEntries; }

bool ValidWidth(uint32_t entry_bytes) { return entry_bytes == 1 || entry_bytes == 2; }

// The one bank a read names, or kLutBanks when the mask names none or several.
uint32_t SingleBank(uint32_t mask) {
  for (uint32_t bank = 0; bank < kLutBanks; ++bank) {
    if (mask == 1u << bank) return bank;
  }
  return kLutBanks;
}

}  // namespace

Status LutMemory::Write(uint32_t mask, uint32_t start, uint32_t count, const void *data,
                        uint32_t entry_bytes) {
  if (mask == 0 || (mask & ~kAllBanks) != 0 || !ValidWidth(entry_bytes) || !InRange(start, count) ||
      (data == nullptr && count != 0)) {
    return Status::kBadArg;
  }
  const auto *bytes = static_cast<const uint8_t *>(data);
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t value = bytes[size_t{i} * entry_bytes];
    if (entry_bytes == 2) value = static_cast<uint16_t>(value | bytes[size_t{i} * 2 + 1] << 8);
    for (uint32_t bank = 0; bank < kLutBanks; ++bank) {
      if ((mask & (1u << bank)) != 0) At(bank, start + i) = value;
    }
  }
  return Status::kOk;
}

Status LutMemory::Read(uint32_t mask, uint32_t start, uint32_t count, void *data,
                       uint32_t entry_bytes) const {
  const uint32_t bank = SingleBank(mask);
  if (bank == kLutBanks || !ValidWidth(entry_bytes) || !InRange(start, count) ||
      (data == nullptr && count != 0)) {
    return Status::kBadArg;
  }
  auto *bytes = static_cast<uint8_t *>(data);
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t value = At(bank, start + i);
    bytes[size_t{i} * entry_bytes] = static_cast<uint8_t>(value);
    if (entry_bytes == 2) bytes[size_t{i} * 2 + 1] = static_cast<uint8_t>(value >> 8);
  }
  return Status::kOk;
}

Status LutMemory::Poke(uint32_t mask, uint32_t index, uint32_t value) {
  const uint8_t entry[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  return Write(mask, index, 1, entry, 2);
}

std::optional<uint16_t> LutMemory::Peek(uint32_t mask, uint32_t index) const {
  uint8_t entry[2] = {};
  if (Read(mask, index, 1, entry, 2) != Status::kOk) return std::nullopt;
  return static_cast<uint16_t>(entry[0] | entry[1] << 8);
}

std::vector<uint16_t> LutMemory::Bank(uint32_t bank) const {
  if (bank >= kLutBanks) return {};
  const auto first = entries_.begin() + static_cast<std::ptrdiff_t>(size_t{bank} * kLutEntries);
  return std::vector<uint16_t>(first, first + kLutEntries);
}

}  // namespace bfsim::model
