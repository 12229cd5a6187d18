// Register tables. Every version knows the registers the plug-in reaches by
// identifier, under names of their own, and fills the rest of its searchable
// range with systematic names so that name searches walk a full table.
#include "model/registers.hpp"

#include <cstdio>

#include "bfsim_control.hpp"

namespace bfsim::model {
namespace {

constexpr uint32_t kNonGn2 = kFamilyRoadRunner | kFamilyRaven | kFamilyR64;

struct Named {
  uint32_t bfsdk::RegisterIds::*field;
  const char *name;
  uint32_t families;
};

constexpr Named kNamed[] = {
    {&bfsdk::RegisterIds::trig_capability, "TRIG_CAPABILITY", kAllFamilies},
    {&bfsdk::RegisterIds::wait_exposure, "EXPOSURE_WAIT", kFamilyR64},
    {&bfsdk::RegisterIds::lut_switch, "LUT_SWITCH", kAllFamilies},
    {&bfsdk::RegisterIds::host_qtab_fix, "HOST_QTAB_FIX", kAllFamilies},
    {&bfsdk::RegisterIds::acq_busy, "ACQ_BUSY", kNonGn2},
    {&bfsdk::RegisterIds::acq_status_a, "ACQ_STATUS_A", kNonGn2},
    {&bfsdk::RegisterIds::acq_status_b, "ACQ_STATUS_B", kNonGn2},
    {&bfsdk::RegisterIds::rv_status_a, "RV_STATUS_A", kFamilyRaven},
    {&bfsdk::RegisterIds::rv_status_b, "RV_STATUS_B", kFamilyRaven},
    {&bfsdk::RegisterIds::gn2_status_a, "GN2_STATUS_A", kFamilyGn2},
    {&bfsdk::RegisterIds::gn2_status_b, "GN2_STATUS_B", kFamilyGn2},
    {&bfsdk::RegisterIds::cam_select, "CAM_SELECT", kAllFamilies},
    {&bfsdk::RegisterIds::sw_trig_armed, "SW_TRIG_ARMED", kNonGn2},
    {&bfsdk::RegisterIds::end_of_exposure, "END_OF_EXPOSURE", kAllFamilies},
    {&bfsdk::RegisterIds::lines_to_go, "LINES_TO_GO", kAllFamilies},
    {&bfsdk::RegisterIds::encoder_count, "ENCODER_COUNT", kAllFamilies},
    {&bfsdk::RegisterIds::enc_div_r64, "ENCODER_DIV_R64", kFamilyR64},
    {&bfsdk::RegisterIds::enc_div_kbn, "ENCODER_DIV_KBN", kFamilyR64},
    {&bfsdk::RegisterIds::gn2_trigger, "GN2_TRIGGER", kFamilyGn2},
    {&bfsdk::RegisterIds::cam_sampled, "CAM_SAMPLED", kAllFamilies},
    {&bfsdk::RegisterIds::alta_connected, "ALTA_CONNECTED", kFamilyR64},
    {&bfsdk::RegisterIds::gn2_acq_enable, "GN2_ACQ_ENABLE", kFamilyGn2},
    {&bfsdk::RegisterIds::gn2_dma_a, "GN2_DMA_A", kFamilyGn2},
    {&bfsdk::RegisterIds::gn2_dma_b, "GN2_DMA_B", kFamilyGn2},
    {&bfsdk::RegisterIds::gn2_link_mode, "GN2_LINK_MODE", kFamilyGn2},
    {&bfsdk::RegisterIds::gn2_ss_a, "GN2_SS_A", kFamilyGn2},
    {&bfsdk::RegisterIds::gn2_ss_b, "GN2_SS_B", kFamilyGn2},
    {&bfsdk::RegisterIds::qs_frame, "QS_FRAME", kAllFamilies},
    {&bfsdk::RegisterIds::qs_next, "QS_NEXT", kAllFamilies},
    {&bfsdk::RegisterIds::qs_pos_a, "QS_POS_A", kAllFamilies},
    {&bfsdk::RegisterIds::qs_pos_b, "QS_POS_B", kAllFamilies},
    {&bfsdk::RegisterIds::fw_freeze, "FW_FREEZE", kAllFamilies},
    {&bfsdk::RegisterIds::flash_switch, "FLASH_SWITCH", kAllFamilies},
};

void Define(RegisterTable &table, uint32_t id, std::string name, uint32_t families) {
  if (id == bfsdk::kNoRegister) return;
  if (id >= table.defs.size()) table.defs.resize(size_t{id} + 1);
  table.defs[id].name = std::move(name);
  table.defs[id].families = families;
}

// Registers of the digital lines. Where a version numbers one of them like a
// register named above (the second camera-control line and the Quick Switch
// register share an identifier), that name stays.
void DefineLines(RegisterTable &table, const bfsdk::RegisterIds &ids) {
  constexpr uint32_t kDriven = 0xFFFFFFFFu;
  auto line = [&](uint32_t id, std::string name, uint32_t families, uint32_t fixed,
                  uint32_t width) {
    if (id == bfsdk::kNoRegister) return;
    if (id < table.defs.size() && table.defs[id].name.rfind("REG_", 0) != 0) return;
    Define(table, id, std::move(name), families);
    table.defs[id].fixed_mask = fixed;
    table.defs[id].width_mask = width;
  };
  for (uint32_t n = 0; n < std::size(ids.out_enable); ++n) {
    line(ids.out_enable[n], "OUT_ENABLE_" + std::to_string(n), kFamilyRoadRunner, 0, 1);
  }
  for (uint32_t n = 0; n < std::size(ids.cc); ++n) {
    line(ids.cc[n], std::string("CC_") + char('A' + n), kNonGn2, 0, 0x7);
    if (table.defs[ids.cc[n]].name.rfind("CC_", 0) == 0) table.defs[ids.cc[n]].cl_only = true;
  }
  for (uint32_t n = 0; n < std::size(ids.gport_r64); ++n) {
    line(ids.gport_r64[n], "GPOUT_" + std::to_string(n), kFamilyR64, kDriven, 1);
  }
  line(ids.gport_gn2, "GN2_GPOUT", kFamilyGn2, kDriven, 0x7F);
  line(ids.in_rr, "RR_IN_0", kFamilyRoadRunner, kDriven, 1);
  for (uint32_t n = 0; n < std::size(ids.in_line); ++n) {
    line(ids.in_line[n], "IN_" + std::to_string(n), kNonGn2, kDriven, 1);
  }
  line(ids.in_r64_4, "IN_4", kFamilyR64, kDriven, 1);
  for (uint32_t n = 0; n < std::size(ids.in_gn2); ++n) {
    line(ids.in_gn2[n], "GN2_IN_" + std::to_string(n), kFamilyGn2, kDriven, 1);
  }
}

}  // namespace

bool RegisterTable::Supported(uint32_t id, const BoardConfig &board) const {
  if (!Known(id)) return false;
  const RegisterDef &def = defs[id];
  return (def.families & board.family) != 0 && (!def.cxp_only || board.cxp) &&
         (!def.cl_only || board.camera_link);
}

std::optional<uint32_t> RegisterTable::Find(std::string_view name) const {
  if (name.empty()) return std::nullopt;
  for (uint32_t id = 0; id < defs.size(); ++id) {
    if (defs[id].name == name) return id;
  }
  return std::nullopt;
}

RegisterTable BuildRegisterTable(bfsdk::SdkVersion version) {
  const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(version);
  RegisterTable table;
  table.count = ids.count;
  table.defs.resize(ids.count);
  for (uint32_t id = 0; id < ids.count; ++id) {
    char name[16];
    std::snprintf(name, sizeof name, "REG_%04u", id);
    table.defs[id].name = name;
    table.defs[id].families = kAllFamilies;
  }
  for (const Named &named : kNamed) Define(table, ids.*named.field, named.name, named.families);
  for (size_t link = 0; link < std::size(ids.cxp_link); ++link) {
    uint32_t id = ids.cxp_link[link];
    Define(table, id, "CXP_LINK_" + std::to_string(link), kFamilyGn2);
    if (id != bfsdk::kNoRegister) table.defs[id].cxp_only = true;
  }
  DefineLines(table, ids);
  // The encoder divides by at most 1023.
  for (uint32_t id : {ids.enc_div_r64, ids.enc_div_kbn}) table.defs[id].width_mask = 0x3FF;
  table.defs[ids.trig_capability].fixed_mask = bfsdk::kTrigAnyCameraBit;
  table.defs[ids.lut_switch].fixed_mask = bfsdk::kLutSwitchBit;
  // What the board drives from its acquisition and its camera.
  for (uint32_t id :
       {ids.acq_busy, ids.acq_status_a, ids.acq_status_b, ids.rv_status_a, ids.rv_status_b,
        ids.gn2_status_a, ids.gn2_status_b, ids.end_of_exposure, ids.lines_to_go, ids.cam_sampled,
        ids.alta_connected, ids.cxp_link[0], ids.cxp_link[1], ids.cxp_link[2], ids.cxp_link[3],
        ids.qs_frame, ids.qs_pos_a, ids.qs_pos_b}) {
    if (id != bfsdk::kNoRegister) table.defs[id].fixed_mask = 0xFFFFFFFFu;
  }
  return table;
}

const RegisterTable &Registers() {
  static const RegisterTable table = BuildRegisterTable(bfsim::Version());
  return table;
}

void ResetRegisters(Board &board) {
  const RegisterTable &table = Registers();
  board.registers.assign(table.defs.size(), 0);
  const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(bfsim::Version());
  if (board.config.trigger_any_camera) {
    board.registers[ids.trig_capability] |= bfsdk::kTrigAnyCameraBit;
  }
  if (board.config.family == kFamilyR64) board.registers[ids.lut_switch] |= bfsdk::kLutSwitchBit;
}

uint32_t ReadRegister(const Board &board, uint32_t id) {
  if (!Registers().Supported(id, board.config) || id >= board.registers.size()) return 0;
  return board.registers[id];
}

void WriteRegister(Board &board, uint32_t id, uint32_t value, uint32_t mask, bool force) {
  const RegisterTable &table = Registers();
  if (!table.Supported(id, board.config) || id >= board.registers.size()) return;
  if (!force) mask &= ~table.defs[id].fixed_mask;
  mask &= table.defs[id].width_mask;
  uint32_t &reg = board.registers[id];
  reg = (reg & ~mask) | (value & mask);
}

}  // namespace bfsim::model
