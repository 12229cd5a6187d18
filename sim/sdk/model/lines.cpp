#include "model/lines.hpp"

#include "bfsim_control.hpp"
#include "model/board.hpp"
#include "model/registers.hpp"

namespace bfsim::model {
namespace {

constexpr uint32_t kGn2SoftwareTrigger = 8;
constexpr uint32_t kOneShot = 2;

const bfsdk::RegisterIds &Ids() { return bfsdk::RegistersOf(bfsim::Version()); }

void Drive(Board &board, uint32_t id, uint32_t value) {
  WriteRegister(board, id, value, 0xFFFFFFFFu, true);
}

uint32_t Bit(uint32_t bits, uint32_t n) { return (bits >> n) & 1u; }

}  // namespace

uint32_t OutputCount(const BoardConfig &config) {
  if (config.family == kFamilyRoadRunner) return config.camera_link ? 6 : 3;
  return config.family == kFamilyRaven ? 6 : 7;
}

Status SetOutputs(Board &board, uint32_t mask, uint32_t level) {
  const uint32_t lines = (1u << OutputCount(board.config)) - 1;
  if (mask == 0 || (mask & ~lines) != 0 || level > 1) return Status::kBadArg;
  uint32_t &gpout = board.devices.gpout;
  gpout = level != 0 ? gpout | mask : gpout & ~mask;
  SyncLineRegisters(board);
  return Status::kOk;
}

uint32_t OutputLevels(const Board &board) {
  const uint32_t count = OutputCount(board.config);
  uint32_t levels = board.devices.gpout & ((1u << count) - 1);
  if (board.config.family == kFamilyRoadRunner && !board.config.camera_link) {
    for (uint32_t n = 0; n < count; ++n) {
      if (ReadRegister(board, Ids().out_enable[n]) != 1) levels &= ~(1u << n);
    }
  }
  return levels;
}

void SyncLineRegisters(Board &board) {
  const bfsdk::RegisterIds &ids = Ids();
  const uint32_t in = board.input_lines;
  Drive(board, ids.in_rr, Bit(in, 0));
  for (uint32_t n = 0; n < std::size(ids.in_line); ++n) Drive(board, ids.in_line[n], Bit(in, n));
  Drive(board, ids.in_r64_4, Bit(in, 4));
  for (uint32_t n = 0; n < std::size(ids.in_gn2); ++n) Drive(board, ids.in_gn2[n], Bit(in, n));
  const uint32_t out = board.devices.gpout;
  for (uint32_t n = 0; n < std::size(ids.gport_r64); ++n) {
    Drive(board, ids.gport_r64[n], Bit(out, n));
  }
  Drive(board, ids.gport_gn2, out & ((1u << OutputCount(board.config)) - 1));
}

uint32_t EffectiveTriggerMode(const Board &board) {
  if (board.config.family == kFamilyGn2 &&
      ReadRegister(board, Ids().gn2_trigger) == kGn2SoftwareTrigger) {
    return kOneShot;
  }
  return board.trigger.mode;
}

}  // namespace bfsim::model
