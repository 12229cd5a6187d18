// FGInfo: what the plug-in tells the host about itself without an instance.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/os.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

enum Query : uint32_t {
  FG_QUERY_PORT = 0,
  FG_QUERY_CAMERA_TYPE = 1,
  FG_QUERY_INFO = 2,
  FG_QUERY_DEFAULTS = 3,
  FG_QUERY_PARAMETERS = 4,
  FG_QUERY_INFO_BOARDS = 5,
  FG_QUERY_REVISION = 6,
  FG_QUERY_FIELD = 8,
  FG_QUERY_BITS_PER_CHANNEL = 9,
  FG_QUERY_COLOR_SPACE = 10,
  FG_QUERY_EXT_TRIGGER = 11,
  FG_QUERY_DEVICE = 12,
  FG_QUERY_PARAMETERS_RO = 13,
  FG_QUERY_PARAMETERS_WO = 14,
  FG_QUERY_HORIZONTAL_RESOLUTION = 19,
  FG_QUERY_VERTICAL_RESOLUTION = 20,
  FG_QUERY_PARAMETERS_HIDDEN = 22,
};

constexpr bool kCxp = kProfile.has_cxp_registers && kProfile.has_callbacks;  // xl only
constexpr bool kCallbacks = kProfile.has_callbacks;

// A name of a list, present in the builds where `present` holds.
struct Listed {
  const char *name;
  bool present = true;
};

// The par build names the abort action by its other name.
constexpr const char *kAbort = kCallbacks ? "do_abort_grab" : "do_abort_capture";

constexpr Listed kParameters[] = {
    {kAbort}, {"available_callback_types", kCallbacks}, {"camera_connected"}, {"do_comm_close"},
    {"do_comm_flush"}, {"do_comm_open"}, {"do_comm_param"}, {"comm_read_int"}, {"comm_read_str"},
    {"do_comm_write"}, {"continuous_grab_timeout"}, {"continuous_grabbing"}, {"ctab_fill"},
    {"in:xx"}, {"out:xx"}, {"cc:xx"}, {"dma_direction"}, {"do_flush_buffers"},
    {"encoder_scan_step"}, {"gport"}, {"hardware_exception_thread"}, {"hardware_exception_count"},
    {"image_height"}, {"image_width"}, {"do_force_trigger"}, {"lut"}, {"next_buffer_acquired"},
    {"next_buffer_returned"}, {"next_buffer_acquired_abs"}, {"num_buffers_overwritten"},
    {"num_buffers"}, {"num_free_buffers"}, {"ring_buffer_stop_margin"},
    {"num_simultaneous_cameras"}, {"overflow_thread"}, {"overwrite_method"}, {"overflow_count"},
    {"read_buf_size"}, {"register_peek:xxxxxxxxxxxxxxx"}, {"register_poke:xxxxxxxxxxxxxxx"},
    {"cxp_peek:xxxxxxxxxxxxxxx", kProfile.has_cxp_registers},
    {"cxp_poke:xxxxxxxxxxxxxxx", kProfile.has_cxp_registers},
    {"register_index_get:xxxxxxxxxxxxxxx"}, {"register_index_peek:xxxxxxxxxxxxxxx"},
    {"register_index_poke:xxxxxxxxxxxxxxx"}, {"resnap"}, {"revision"}, {"serial_baudrate"},
    {"serial_message_buf_size"}, {"serial_message"}, {"serial_terminate_code"},
    {"serial_timeout"}, {"serial_write_delay"}, {"grab_timeout"}, {"software_trigger"},
    {"start_async_after_grab_async"}, {"start_column"}, {"start_row"}, {"volatile"},
    {"wait_frame_exposure"}, {"wait_frame_exposure_timeout"}, {"print_grab_offset"},
    {"switch_slave_firmware"}, {"freeze_firmware"},
};

constexpr Listed kReadOnly[] = {
    {"available_callback_types", kCallbacks}, {"camera_connected"}, {"comm_read_int"},
    {"comm_read_str"}, {"hardware_exception_count"}, {"next_buffer_acquired"},
    {"next_buffer_returned"}, {"next_buffer_acquired_abs"}, {"num_buffers_overwritten"},
    {"num_free_buffers"}, {"overflow_count"}, {"register_index_peek:xxxxxxxxxxxxxxx"},
    {"revision"},
};

constexpr Listed kWriteOnly[] = {
    {kAbort}, {"do_comm_close"}, {"do_comm_flush"}, {"do_comm_open"}, {"do_comm_param"},
    {"do_comm_write"}, {"do_flush_buffers"}, {"do_force_trigger"},
    {"register_poke:xxxxxxxxxxxxxxx"}, {"cxp_poke:xxxxxxxxxxxxxxx", kProfile.has_cxp_registers},
    {"register_index_poke:xxxxxxxxxxxxxxx"}, {"debug_output"},
};

constexpr Listed kHidden[] = {
    {"cc:xx"}, {"do_comm_param"}, {"comm_read_int"}, {"comm_read_str"}, {"do_comm_write"},
    {"out:xx"}, {"do_flush_buffers"}, {"gport"}, {"serial_baudrate"},
    {"serial_message_buf_size"}, {"serial_message"}, {"serial_terminate_code"},
    {"serial_timeout"}, {"serial_write_delay"},
};

template <size_t N>
constexpr int32_t CountPresent(const Listed (&list)[N]) {
  int32_t n = 0;
  for (const Listed &entry : list) n += entry.present ? 1 : 0;
  return n;
}

// The declared lengths of the lists, per build.
constexpr int32_t FG_PARAM_NUM = kCxp ? 64 : kCallbacks ? 62 : 63;
constexpr int32_t FG_PARAM_RO_NUM = kCallbacks ? 13 : 12;
constexpr int32_t FG_PARAM_WO_NUM = kProfile.has_cxp_registers ? 12 : 11;
constexpr int32_t FG_PARAM_HIDDEN_NUM = 14;
static_assert(CountPresent(kParameters) == FG_PARAM_NUM);
static_assert(CountPresent(kReadOnly) == FG_PARAM_RO_NUM);
static_assert(CountPresent(kWriteOnly) == FG_PARAM_WO_NUM);
static_assert(CountPresent(kHidden) == FG_PARAM_HIDDEN_NUM);

const char *Description(uint32_t kind) {
  switch (kind) {
    case FG_QUERY_PORT:
      return "Value list for port parameter (only used if camera type is set to 'default'.";
    case FG_QUERY_CAMERA_TYPE: return "Name of the camera description file or 'default'.";
    case FG_QUERY_INFO: return "TARVEL interface for BitFlow boards.";
    case FG_QUERY_DEFAULTS: return "Default values (as used for open_framegrabber).";
    case FG_QUERY_PARAMETERS: return "Additional parameters for BitFlow frame grabber boards.";
    case FG_QUERY_INFO_BOARDS: return "Info about installed BitFlow boards.";
    case FG_QUERY_REVISION: return "Current interface revision.";
    case FG_QUERY_FIELD: return "Value list for field parameter.";
    case FG_QUERY_BITS_PER_CHANNEL: return "Value list for bits per channel parameter.";
    case FG_QUERY_COLOR_SPACE: return "Value list for color space parameter.";
    case FG_QUERY_EXT_TRIGGER: return "Value list for external trigger parameter.";
    case FG_QUERY_DEVICE: return "Value list for device parameter.";
    case FG_QUERY_PARAMETERS_RO: return "Additional read-only parameters for this interface.";
    case FG_QUERY_PARAMETERS_WO: return "Additional write-only parameters for this interface.";
    case FG_QUERY_HORIZONTAL_RESOLUTION: return "Value list for horizontal resolution parameter.";
    case FG_QUERY_VERTICAL_RESOLUTION: return "Value list for vertical resolution parameter.";
    case FG_QUERY_PARAMETERS_HIDDEN: return "Hidden parameters for this interface.";
    default: return "Unsupported query!";
  }
}

// The configuration directory, read anew at every camera-type query.
char g_config_dir[1000] = "\\";

void ReadConfigDirectory() {
  char value[sizeof g_config_dir];
  if (os::ReadRegistryString("SYSTEM\\CurrentControlSet\\Services\\BitFlow", "BFConfigDir", value,
                             sizeof value)) {
    std::memcpy(g_config_dir, value, sizeof value);
  } else {
    std::strcpy(g_config_dir, "\\");
  }
}

// A value of a fixed list: an integer or a text.
struct Item {
  int64_t number;
  const char *text;
};

Terr Answer(Tproc_handle proc_id, const Item *items, int32_t n, Tcpar **values,
            int32_t *num_values, bool config_dir) {
  Tcpar *array = nullptr;
  const Terr result = HOST_ALLOC(proc_id, sizeof(Tcpar) * static_cast<size_t>(n), &array,
                                 "sizeof(Tcpar) * static_cast<size_t>(n)", "&array");
  if (result != FG_OK) return result;
  if (config_dir) ReadConfigDirectory();
  for (int32_t i = 0; i < n; ++i) {
    array[i] = Tcpar{};
    if (items[i].text != nullptr) {
      array[i].type = TPAR_STRING;
      array[i].par.s = const_cast<char *>(items[i].text);
    } else {
      array[i].type = TPAR_INT;
      array[i].par.l = items[i].number;
    }
  }
  *values = array;
  *num_values = n;
  return FG_OK;
}

template <size_t N>
Terr AnswerList(Tproc_handle proc_id, const Listed (&list)[N], int32_t declared,
                const char *declared_name, Tcpar **values, int32_t *num_values) {
  *num_values = 0;
  Tcpar *array = nullptr;
  const Terr result = HOST_ALLOC(proc_id, sizeof(Tcpar) * static_cast<size_t>(declared), &array,
                                 "sizeof(Tcpar) * static_cast<size_t>(declared)", "&array");
  if (result != FG_OK) return result;
  int32_t count = 0;
  for (const Listed &entry : list) {
    if (!entry.present) continue;
    if (count < declared) {
      array[count] = Tcpar{};
      array[count].par.s = const_cast<char *>(entry.name);
    }
    ++count;
  }
  if (count != declared) {
    // A list edited without its length; never taken by a correct build.
    char text[1024];
    std::snprintf(text, sizeof text, "*numValues(%d) != %s (%d)", count, declared_name, declared);
    if (kProfile.sdk_debug_output && std::strcmp(declared_name, "FG_PARAM_HIDDEN_NUM") != 0) {
      DebugText(text);
    }
    PrintErrorf("%s\n(%s:%d)", text, "FGInfo", __LINE__);
    HOST_FREE(proc_id, array, "array");
    return FG_ERR_GET_FAILED;
  }
  for (int32_t i = 0; i < count; ++i) array[i].type = TPAR_STRING;
  *values = array;
  *num_values = count;
  return FG_OK;
}

Terr AnswerBoards(Tproc_handle proc_id, Tcpar **values, int32_t *num_values) {
  *values = nullptr;
  *num_values = 0;
  uint32_t target = 0;
  BFGetBuildTarget(&target);
  if (target != 0) return FG_OK;
  uint32_t total = 0;
  for (uint32_t family : {CISYS_TYPE_RR, CISYS_TYPE_RV, CISYS_TYPE_R64, CISYS_TYPE_GN2}) {
    if ((kProfile.families & family) == 0) continue;
    uint32_t count = 0;
    CiSysBrdEnum(family, &count);
    total += count;
  }
  if (total == 0) return FG_OK;
  static constexpr Item kDefaultDevice[] = {{0, "device:default"}};
  return Answer(proc_id, kDefaultDevice, 1, values, num_values, false);
}

}  // namespace

Terr FGInfo(Tproc_handle proc_id, int32_t query, const char **info, Tcpar **values,
            int32_t *num_values) {
  if (info == nullptr || values == nullptr || num_values == nullptr) return FG_ERR_PARAM_VALUE;
  const auto kind = static_cast<uint32_t>(query);
  *info = Description(kind);
  if (std::string_view(*info) == "Unsupported query!") {
    *values = nullptr;
    *num_values = 0;
    return FG_OK;
  }
  switch (kind) {
    case FG_QUERY_INFO:
    case FG_QUERY_FIELD:
      *values = nullptr;
      *num_values = 0;
      return FG_OK;
    case FG_QUERY_PORT: {
      static constexpr Item kPorts[] = {{0, nullptr}, {1, nullptr}, {2, nullptr}, {3, nullptr}};
      return Answer(proc_id, kPorts, 4, values, num_values, false);
    }
    case FG_QUERY_CAMERA_TYPE: {
      const Item items[] = {{0, "CAMFILE:"}, {0, kProfile.camera_suffixes}, {0, g_config_dir},
                            {0, "default"}};
      return Answer(proc_id, items, 4, values, num_values, true);
    }
    case FG_QUERY_REVISION: {
      static constexpr Item kRevision[] = {{0, kProfile.revision}};
      return Answer(proc_id, kRevision, 1, values, num_values, false);
    }
    case FG_QUERY_BITS_PER_CHANNEL: {
      static constexpr Item kBits[] = {{8, nullptr}, {10, nullptr}, {12, nullptr}};
      return Answer(proc_id, kBits, 3, values, num_values, false);
    }
    case FG_QUERY_COLOR_SPACE: {
      static constexpr Item kSpaces[] = {{0, "gray"}, {0, "rgb"}};
      return Answer(proc_id, kSpaces, 2, values, num_values, false);
    }
    case FG_QUERY_EXT_TRIGGER: {
      static constexpr Item kWords[] = {{0, "false"}, {0, "true"}};
      return Answer(proc_id, kWords, 2, values, num_values, false);
    }
    case FG_QUERY_DEVICE: {
      static constexpr Item kDevices[] = {
          {0, "Raven:0"}, {0, "Raven:1"}, {0, "Raven:2"}, {0, "Raven:3"},
          {0, "RoadRunner:0"}, {0, "RoadRunner:1"}, {0, "RoadRunner:2"}, {0, "RoadRunner:3"},
          {0, "R64:0"}, {0, "R64:1"}, {0, "R64:2"}, {0, "R64:3"},
          {0, "GN2:0"}, {0, "GN2:1"}, {0, "GN2:2"}, {0, "GN2:3"}, {0, "default"}};
      if constexpr (kProfile.has_gn2) return Answer(proc_id, kDevices, 17, values, num_values, false);
      static constexpr Item kNoGn2[] = {
          {0, "Raven:0"}, {0, "Raven:1"}, {0, "Raven:2"}, {0, "Raven:3"},
          {0, "RoadRunner:0"}, {0, "RoadRunner:1"}, {0, "RoadRunner:2"}, {0, "RoadRunner:3"},
          {0, "R64:0"}, {0, "R64:1"}, {0, "R64:2"}, {0, "R64:3"}, {0, "default"}};
      return Answer(proc_id, kNoGn2, 13, values, num_values, false);
    }
    case FG_QUERY_HORIZONTAL_RESOLUTION:
    case FG_QUERY_VERTICAL_RESOLUTION: {
      static constexpr Item kOne[] = {{1, nullptr}};
      return Answer(proc_id, kOne, 1, values, num_values, false);
    }
    case FG_QUERY_DEFAULTS:
      return HOST_CALL("TFgGetDefaults(proc_id, fgClass, values, num_values)",
                       TFgGetDefaults(proc_id, fgClass, values, num_values));
    case FG_QUERY_PARAMETERS:
      return AnswerList(proc_id, kParameters, FG_PARAM_NUM, "FG_PARAM_NUM", values, num_values);
    case FG_QUERY_PARAMETERS_RO:
      return AnswerList(proc_id, kReadOnly, FG_PARAM_RO_NUM, "FG_PARAM_RO_NUM", values,
                        num_values);
    case FG_QUERY_PARAMETERS_WO:
      return AnswerList(proc_id, kWriteOnly, FG_PARAM_WO_NUM, "FG_PARAM_WO_NUM", values,
                        num_values);
    case FG_QUERY_PARAMETERS_HIDDEN:
      return AnswerList(proc_id, kHidden, FG_PARAM_HIDDEN_NUM, "FG_PARAM_HIDDEN_NUM", values,
                        num_values);
    case FG_QUERY_INFO_BOARDS:
      return AnswerBoards(proc_id, values, num_values);
    default:
      *values = nullptr;
      *num_values = 0;
      return FG_OK;
  }
}

}  // namespace grabline
