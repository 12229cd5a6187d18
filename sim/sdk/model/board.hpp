// board.hpp — one installed board: how the system file describes it, and the
// state it has while the simulator runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bfsdk.h"
#include "model/acquisition.hpp"
#include "model/camera.hpp"
#include "model/cxp_registers.hpp"
#include "model/firmware.hpp"
#include "model/lut.hpp"
#include "model/pattern_rows.hpp"

namespace bfsim::model {

// Family codes, as the system search uses them.
inline constexpr uint32_t kFamilyRoadRunner = CISYS_TYPE_RR;
inline constexpr uint32_t kFamilyRaven = CISYS_TYPE_RV;
inline constexpr uint32_t kFamilyR64 = CISYS_TYPE_R64;
inline constexpr uint32_t kFamilyGn2 = CISYS_TYPE_GN2;
inline constexpr uint32_t kAllFamilies = kFamilyRoadRunner | kFamilyRaven | kFamilyR64 | kFamilyGn2;

inline constexpr uint32_t kMaxPorts = 8;
inline constexpr uint32_t kMaxVfg = 3;  // virtual frame grabbers: one per CoaXPress link

struct BoardConfig {
  uint32_t family = kFamilyR64;
  std::string model;
  uint32_t model_code = 0;
  bool camera_link = false;
  bool karbon = false;
  bool neon = false;
  bool neon_switchable = false;
  bool alta = false;
  bool cxp = false;
  uint32_t ports = 1;
  uint32_t switch_number = 0;
  uint32_t connector = 0;
  std::string camera;  // camera file CiBrdOpen loads for "default"; "" built in
  // Register 17 bit 30: the board triggers externally with any camera file.
  bool trigger_any_camera = false;
  bool link_full_speed = true;  // Gn2 link state
  bool held_elsewhere = false;  // held by another process from the start
  bool host_qtabs = true;       // QTabs may live in host memory
  uint32_t gpout = 0;           // general-purpose outputs at open
  uint32_t vfg = 0;             // virtual frame grabber number
  bool camera_connected = true;
  LutSupport lut = LutSupport::kFull;
  bool timing_generator = true;
  std::vector<std::string> firmware;  // firmware files; empty: the one image "<model>.fw"
};

// Trigger settings the board currently runs with.
struct TriggerState {
  uint32_t mode = 0;
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t c = 0;
  bool external_connected = false;
};

struct Board {
  BoardConfig config;
  uint32_t index = 0;       // position within its family
  uint32_t open_count = 0;  // handles of this process open on it
  bool held_elsewhere = false;
  std::vector<uint32_t> registers;  // sized by the version's register table
  std::vector<Camera> cameras;      // one per port
  uint32_t current_port = 0;
  TriggerState trigger;
  uint32_t aq_timeout_ms = 0;
  uint64_t aq_signal = 0;  // signal id made current for acquisition, 0 none
  Acquisition acq;         // reset when the board is opened anew
  BoardDevices devices;    // likewise
  // Set by tests and tools, kept across opens until the system is replaced.
  bool manual_clock = false;
  bool trigger_input = false;
  bool camera_connected = true;
  uint32_t input_lines = 0;  // bit n: input n is high
  CxpRegisters cxp;          // the camera's registers (CoaXPress boards)
  FirmwareState firmware;    // kept across opens, like flashed firmware
  PatternRows pattern_rows;  // what the DMA engine copies lines from

  const Camera &CurrentCamera() const { return cameras[current_port]; }
};

}  // namespace bfsim::model
