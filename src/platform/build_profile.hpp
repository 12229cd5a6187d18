// build_profile.hpp — everything that differs between the three builds of the
// plug-in, in one table. Exactly one of GRABLINE_BUILD_STANDARD,
// GRABLINE_BUILD_XL and GRABLINE_BUILD_PAR is defined by the build; code asks
// kProfile and never tests those macros itself.
#pragma once

#include <cstdint>

#include "bfsdk.h"
#include "bfsdk_regs.hpp"
#include "tarvel.h"

namespace grabline {

struct BuildProfile {
  const char *name;            // the library name
  int32_t interface_version;   // written into the class record
  Terr ok;                     // the host's success code
  bool failure_above_ok;       // host results above ok fail (else: anything but ok)
  uint32_t max_instances;      // size of the instance table
  bfsdk::SdkVersion sdk;
  const bfsdk::RegisterIds &reg;
  const bfsdk::BoardModels &models;  // board models the LUT support depends on
  const char *source_file;     // file name the host's error hook and spy see
  const char *revision;        // the interface revision
  const char *revision_date;   // and the date it was built
  const char *camera_suffixes; // camera file kinds offered by the camera-type query

  // Board families searched at open (a mask of CISYS_TYPE_*) and the family
  // set handed to the switch/connector search.
  uint32_t families;
  uint32_t switch_families;

  // Features and the way the build talks to the SDK.
  bool has_gn2;                  // Gn2 handling (registers, trigger take-over)
  bool has_callbacks;            // FGSetCallback / FGGetCallback
  bool has_quick_switch;         // full Quick Switch set-up (else a flag only)
  bool has_cxp_registers;        // cxp_peek / cxp_poke
  bool has_software_timestamps;  // worker waits with CiSignalWaitEx
  bool has_stitch_share;         // multi-camera stitching share
  bool has_fine_rate;            // ticks_per_second answers a value
  bool cxp_link_status;          // camera_connected reads the CoaXPress link
  bool sdk_debug_output;         // diagnostics through BFOutputDebugString
  bool serial_by_board_handle;   // else by the configured-device index
  bool status_for_raven;         // acquisition status also for board type 32

  // Signals types that differ between builds.
  uint32_t ss_signal_type_r64;    // start/stop signal on R64 boards
  uint32_t ss_signal_type_gn2;    // ... on Gn2 boards
  uint32_t ss_signal_type_other;  // ... on every other board
  // Trigger-input states read while the worker waits for a start/stop start.
  uint32_t trig_asserted_a;  // when the third trigger value is 13
  uint32_t trig_asserted_b;  // otherwise
};

inline constexpr BuildProfile kXlProfile{
    .name = "grablinexl",
    .interface_version = 6,
    .ok = 2,
    .failure_above_ok = true,
    .max_instances = 256,
    .sdk = bfsdk::SdkVersion::kXl,
    .reg = bfsdk::kRegistersXl,
    .models = bfsdk::kModelsXl,
    .source_file = ".\\CIOBitflow",
    .revision = "6.5",
    .revision_date = "May 20 2021",
    .camera_suffixes = "cam;r64;rcl;rvc;anlg;bfml;dif",
    .families = CISYS_TYPE_RR | CISYS_TYPE_RV | CISYS_TYPE_R64 | CISYS_TYPE_GN2,
    .switch_families = 208,
    .has_gn2 = true,
    .has_callbacks = true,
    .has_quick_switch = true,
    .has_cxp_registers = true,
    .has_software_timestamps = true,
    .has_stitch_share = true,
    .has_fine_rate = true,
    .cxp_link_status = true,
    .sdk_debug_output = true,
    .serial_by_board_handle = true,
    .status_for_raven = false,
    .ss_signal_type_r64 = BF_SIG_START_STOP,
    .ss_signal_type_gn2 = BF_SIG_FRAME_DONE,
    .ss_signal_type_other = BF_SIG_EXPOSURE,
    .trig_asserted_a = 12,
    .trig_asserted_b = 11,
};

inline constexpr BuildProfile kStandardProfile{
    .name = "grabline",
    .interface_version = 1300,
    .ok = 2,
    .failure_above_ok = false,
    .max_instances = 256,
    .sdk = bfsdk::SdkVersion::kStandard,
    .reg = bfsdk::kRegistersStandard,
    .models = bfsdk::kModelsStandard,
    .source_file = "CIOBitflow",
    .revision = "13.0.4",
    .revision_date = "Jan 29 2020",
    .camera_suffixes = "cam;r64;rcl;rvc;anlg",
    .families = CISYS_TYPE_RR | CISYS_TYPE_RV | CISYS_TYPE_R64,
    .switch_families = 112,
    .has_gn2 = false,
    .has_callbacks = true,
    .has_quick_switch = false,
    .has_cxp_registers = false,
    .has_software_timestamps = false,
    .has_stitch_share = false,
    .has_fine_rate = false,
    .cxp_link_status = false,
    .sdk_debug_output = false,
    .serial_by_board_handle = false,
    .status_for_raven = false,
    .ss_signal_type_r64 = BF_SIG_START_STOP,
    .ss_signal_type_gn2 = BF_SIG_EXPOSURE,
    .ss_signal_type_other = BF_SIG_EXPOSURE,
    .trig_asserted_a = 22,
    .trig_asserted_b = 21,
};

inline constexpr BuildProfile kParProfile{
    .name = "pargrabline",
    .interface_version = 3,
    .ok = 1,
    .failure_above_ok = false,
    .max_instances = 64,
    .sdk = bfsdk::SdkVersion::kPar,
    .reg = bfsdk::kRegistersPar,
    .models = bfsdk::kModelsPar,
    .source_file = ".\\CIOBitflow",
    .revision = "3.9",
    .revision_date = "Jan 29 2020",
    .camera_suffixes = "cam;r64;rcl;rvc;anlg",
    .families = CISYS_TYPE_RR | CISYS_TYPE_RV | CISYS_TYPE_R64,
    .switch_families = 80,
    .has_gn2 = false,
    .has_callbacks = false,
    .has_quick_switch = true,
    .has_cxp_registers = true,
    .has_software_timestamps = false,
    .has_stitch_share = false,
    .has_fine_rate = false,
    .cxp_link_status = false,
    .sdk_debug_output = false,
    .serial_by_board_handle = true,
    .status_for_raven = true,
    .ss_signal_type_r64 = BF_SIG_START_STOP,
    .ss_signal_type_gn2 = BF_SIG_FRAME_DONE,
    .ss_signal_type_other = BF_SIG_EXPOSURE,
    .trig_asserted_a = 22,
    .trig_asserted_b = 21,
};

#if defined(GRABLINE_BUILD_XL)
inline constexpr const BuildProfile &kProfile = kXlProfile;
#elif defined(GRABLINE_BUILD_PAR)
inline constexpr const BuildProfile &kProfile = kParProfile;
#elif defined(GRABLINE_BUILD_STANDARD)
inline constexpr const BuildProfile &kProfile = kStandardProfile;
#else
#error "define one of GRABLINE_BUILD_STANDARD, GRABLINE_BUILD_XL, GRABLINE_BUILD_PAR"
#endif

// Shorthand for the host's success code of this build.
inline constexpr Terr kOk = kProfile.ok;

}  // namespace grabline
