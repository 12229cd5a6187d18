#include "model/cxp_registers.hpp"

namespace bfsim::model {

CxpRegisters::CxpRegisters() : identity_{0x43585053u, 0x00010000u, 1u} {}

std::optional<CxpRegisters::Slot> CxpRegisters::Locate(uint32_t address) {
  if (address % 4 != 0) return std::nullopt;
  if (address <= kCxpLinksAddress) return Slot{false, address / 4};
  if (address >= kCxpUserFirst && address - kCxpUserFirst < 4 * kCxpUserWords) {
    return Slot{true, (address - kCxpUserFirst) / 4};
  }
  return std::nullopt;
}

std::optional<uint32_t> CxpRegisters::Read(uint32_t address) const {
  const std::optional<Slot> slot = Locate(address);
  if (!slot) return std::nullopt;
  return slot->user ? user_[slot->index] : identity_[slot->index];
}

bool CxpRegisters::Write(uint32_t address, uint32_t value, bool force) {
  const std::optional<Slot> slot = Locate(address);
  if (!slot || (!slot->user && !force)) return false;
  (slot->user ? user_[slot->index] : identity_[slot->index]) = value;
  return true;
}

}  // namespace bfsim::model
