// bfsdk_regs.hpp — the register identifiers of each SDK version.
//
// Register identifiers are indexes into the register table of one SDK
// version; the same register has a different identifier in another version.
// The plug-in is compiled against one version and takes its numbers from the
// matching table; the simulator serves all three.
#pragma once

#include <cstdint>

namespace bfsdk {

inline constexpr uint32_t kNoRegister = 0xFFFFFFFFu;

// Bits of the registers below that the plug-in reads or sets.
inline constexpr uint32_t kTrigAnyCameraBit = 1u << 30;  // in trig_capability
inline constexpr uint32_t kWaitExposureBit = 1u << 31;   // in wait_exposure
inline constexpr uint32_t kLutSwitchBit = 1u << 26;      // in lut_switch

enum class SdkVersion : uint8_t { kStandard, kXl, kPar };

struct RegisterIds {
  uint32_t count;  // identifiers 0 .. count-1 are searched by name

  uint32_t trig_capability;  // kTrigAnyCameraBit: external trigger with any camera file
  uint32_t wait_exposure;    // kWaitExposureBit: R64 waits for the end of exposure
  uint32_t lut_switch;       // kLutSwitchBit selects which bit switches the LUT
  uint32_t host_qtab_fix;    // written with 1 when the board model is 4097
  uint32_t acq_busy;         // non-zero while a snap is being acquired
  uint32_t acq_status_a;     // RoadRunner / R64 acquisition status
  uint32_t acq_status_b;
  uint32_t rv_status_a;      // Raven acquisition status (not every version)
  uint32_t rv_status_b;
  uint32_t gn2_status_a;     // Gn2 acquisition status
  uint32_t gn2_status_b;
  uint32_t cam_select;       // written around a camera port change
  uint32_t sw_trig_armed;    // non-zero: the trigger circuit needs polling first
  uint32_t end_of_exposure;
  uint32_t lines_to_go;
  uint32_t encoder_count;
  uint32_t enc_div_r64;
  uint32_t enc_div_kbn;  // Karbon and Neon
  uint32_t gn2_trigger;
  uint32_t cam_sampled;  // changes while a camera delivers
  uint32_t alta_connected;
  uint32_t cxp_link[4];
  uint32_t gn2_acq_enable;
  uint32_t gn2_dma_a;
  uint32_t gn2_dma_b;
  uint32_t gn2_link_mode;
  uint32_t gn2_ss_a;
  uint32_t gn2_ss_b;
  uint32_t qs_frame;
  uint32_t qs_next;
  uint32_t qs_pos_a;
  uint32_t qs_pos_b;
  uint32_t fw_freeze;
  uint32_t flash_switch;

  // Digital lines.
  uint32_t out_enable[3];  // RoadRunner without Camera Link: output 0..2 drives while 1
  uint32_t cc[3];          // Camera Link camera-control lines CC A, CC B, CC C
  uint32_t gport_r64[7];   // R64: level of output 0..6
  uint32_t gport_gn2;      // Gn2: the output lines
  uint32_t in_rr;          // RoadRunner without Camera Link: input 0
  uint32_t in_line[4];     // Raven and R64 inputs 0..3 (1 and 2 also on Camera Link RoadRunners)
  uint32_t in_r64_4;       // R64 input 4
  uint32_t in_gn2[6];      // Gn2 inputs 0..5
};

// Board models (inquiry item 3) that the LUT support depends on; numbered
// per SDK version like the registers.
struct BoardModels {
  uint32_t no_lut;     // a board without LUT
  uint32_t no_lut_14;  // a board without LUT for 14-bit pixels
  uint32_t with_lut;   // every other board
};

inline constexpr BoardModels kModelsXl{4150, 4148, 4160};
inline constexpr BoardModels kModelsPar{4138, 4136, 4140};
inline constexpr BoardModels kModelsStandard{4135, 4133, 4137};

constexpr const BoardModels &ModelsOf(SdkVersion v) {
  return v == SdkVersion::kXl ? kModelsXl : v == SdkVersion::kPar ? kModelsPar : kModelsStandard;
}

inline constexpr RegisterIds kRegistersXl{
    .count = 3647,
    .trig_capability = 17,
    .wait_exposure = 23,
    .lut_switch = 24,
    .host_qtab_fix = 1425,
    .acq_busy = 1454,
    .acq_status_a = 1458,
    .acq_status_b = 1528,
    .rv_status_a = kNoRegister,
    .rv_status_b = kNoRegister,
    .gn2_status_a = 2724,
    .gn2_status_b = 2709,
    .cam_select = 1465,
    .sw_trig_armed = 1645,
    .end_of_exposure = 1720,
    .lines_to_go = 1795,
    .encoder_count = 1921,
    .enc_div_r64 = 1710,
    .enc_div_kbn = 1711,
    .gn2_trigger = 1694,
    .cam_sampled = 1687,
    .alta_connected = 3386,
    .cxp_link = {2164, 2309, 2454, 2599},
    .gn2_acq_enable = 2728,
    .gn2_dma_a = 2736,
    .gn2_dma_b = 2749,
    .gn2_link_mode = 2735,
    .gn2_ss_a = 2765,
    .gn2_ss_b = 2766,
    .qs_frame = 1462,
    .qs_next = 1629,
    .qs_pos_a = 1747,
    .qs_pos_b = 1791,
    .fw_freeze = 1763,
    .flash_switch = 1888,
    .out_enable = {1538, 1539, 1540},
    .cc = {1628, 1629, 1630},
    .gport_r64 = {1447, 1448, 1449, 1450, 1451, 1452, 1682},
    .gport_gn2 = 1998,
    .in_rr = 3117,
    .in_line = {1473, 1474, 1475, 1476},
    .in_r64_4 = 1671,
    .in_gn2 = {1976, 1699, 1981, 1980, 1985, 1984},
};

inline constexpr RegisterIds kRegistersPar{
    .count = 3323,
    .trig_capability = 17,
    .wait_exposure = 23,
    .lut_switch = 24,
    .host_qtab_fix = 1430,
    .acq_busy = 1459,
    .acq_status_a = 1463,
    .acq_status_b = 1531,
    .rv_status_a = 1642,
    .rv_status_b = 1641,
    .gn2_status_a = kNoRegister,
    .gn2_status_b = kNoRegister,
    .cam_select = 1470,
    .sw_trig_armed = 1648,
    .end_of_exposure = 1723,
    .lines_to_go = 1798,
    .encoder_count = 2074,
    .enc_div_r64 = 1883,
    .enc_div_kbn = 1884,
    .gn2_trigger = kNoRegister,
    .cam_sampled = 1860,
    .alta_connected = 3062,
    .cxp_link = {kNoRegister, kNoRegister, kNoRegister, kNoRegister},
    .gn2_acq_enable = kNoRegister,
    .gn2_dma_a = kNoRegister,
    .gn2_dma_b = kNoRegister,
    .gn2_link_mode = kNoRegister,
    .gn2_ss_a = kNoRegister,
    .gn2_ss_b = kNoRegister,
    .qs_frame = 1467,
    .qs_next = 1632,
    .qs_pos_a = 1918,
    .qs_pos_b = 1961,
    .fw_freeze = 1934,
    .flash_switch = 2041,
    .out_enable = {1541, 1542, 1543},
    .cc = {1631, 1632, 1633},
    .gport_r64 = {1452, 1453, 1454, 1455, 1456, 1457, 1855},
    .gport_gn2 = kNoRegister,
    .in_rr = 2732,
    .in_line = {1744, 1478, 1479, 1660},
    .in_r64_4 = 1845,
    .in_gn2 = {2089, 1872, 2094, 2093, 2098, 2097},
};

inline constexpr RegisterIds kRegistersStandard{
    .count = 2165,
    .trig_capability = 17,
    .wait_exposure = 23,
    .lut_switch = 24,
    .host_qtab_fix = 754,
    .acq_busy = 854,
    .acq_status_a = 858,
    .acq_status_b = 900,
    .rv_status_a = kNoRegister,
    .rv_status_b = kNoRegister,
    .gn2_status_a = kNoRegister,
    .gn2_status_b = kNoRegister,
    .cam_select = 794,
    .sw_trig_armed = 980,
    .end_of_exposure = 1030,
    .lines_to_go = 1090,
    .encoder_count = 1390,
    .enc_div_r64 = 1207,
    .enc_div_kbn = 1208,
    .gn2_trigger = kNoRegister,
    .cam_sampled = 1184,
    .alta_connected = 1904,
    .cxp_link = {kNoRegister, kNoRegister, kNoRegister, kNoRegister},
    .gn2_acq_enable = kNoRegister,
    .gn2_dma_a = kNoRegister,
    .gn2_dma_b = kNoRegister,
    .gn2_link_mode = kNoRegister,
    .gn2_ss_a = kNoRegister,
    .gn2_ss_b = kNoRegister,
    // Numbered as in the other versions: the frame register four after the
    // first status word, the next-region register shared with the second
    // camera-control line, the positions around the firmware freeze.
    .qs_frame = 862,
    .qs_next = 956,
    .qs_pos_a = 1238,
    .qs_pos_b = 1282,
    .fw_freeze = 1254,
    .flash_switch = 1357,
    .out_enable = {865, 866, 867},
    .cc = {955, 956, 957},
    .gport_r64 = {776, 777, 778, 779, 780, 781, 1179},
    .gport_gn2 = kNoRegister,
    .in_rr = 1574,
    .in_line = {1068, 802, 803, 984},
    .in_r64_4 = 1169,
    .in_gn2 = {kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister},
};

constexpr const RegisterIds &RegistersOf(SdkVersion v) {
  return v == SdkVersion::kXl ? kRegistersXl
         : v == SdkVersion::kPar ? kRegistersPar
                                 : kRegistersStandard;
}

}  // namespace bfsdk
