// cxp_registers.hpp — the registers of a CoaXPress camera, addressed by byte
// address in 32-bit words: a read-only identity block and a block of
// read-write registers the camera keeps for the application.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace bfsim::model {

inline constexpr uint32_t kCxpIdentityAddress = 0x0000;  // "CXPS"
inline constexpr uint32_t kCxpRevisionAddress = 0x0004;  // 0x00010000
inline constexpr uint32_t kCxpLinksAddress = 0x0008;     // links the camera uses: 1
inline constexpr uint32_t kCxpUserFirst = 0x1000;        // read-write, 0 when loaded
inline constexpr uint32_t kCxpUserWords = 64;

class CxpRegisters {
 public:
  CxpRegisters();
  // Unknown or unaligned addresses give nothing.
  std::optional<uint32_t> Read(uint32_t address) const;
  // False for unknown addresses and, unless `force`, for read-only ones.
  bool Write(uint32_t address, uint32_t value, bool force = false);

 private:
  struct Slot {
    bool user;  // in the read-write block
    uint32_t index;
  };
  static std::optional<Slot> Locate(uint32_t address);
  std::array<uint32_t, 3> identity_;
  std::array<uint32_t, kCxpUserWords> user_{};
};

}  // namespace bfsim::model
