// FGSetParam: checks that a value was given, finds the branch by name and
// runs it. The table keeps the dispatch order; the first match wins.
#include <cstring>

#include "params/handlers.hpp"
#include "plugin/error_report.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

struct SetEntry {
  ParamKey key;
  SetHandler handler;
  bool available = true;
  // Families whose value must be an integer: the type is checked before
  // the name is parsed.
  bool integer_first = false;
  // ... must be a string (the output levels).
  bool string_first = false;
};

const SetEntry kSetTable[] = {
    {{"volatile"}, SetVolatile},
    {{"grab_timeout"}, SetGrabTimeout},
    {{"trigger_timeout"}, SetTriggerTimeout},
    {{"continuous_grab_timeout"}, SetTriggerTimeout},
    {{"num_buffers"}, SetNumBuffers},
    {{"ring_buffer_stop_margin"}, SetRingBufferStopMargin},
    {{"show_internal_errors"}, SetShowInternalErrors},
    {{"debug_output"}, SetDebugOutput},
    {{"software_timestamp"}, SetSoftwareTimestamp},
    {{"continuous_grabbing"}, SetContinuousGrabbing},
    {{"overwrite_method"}, SetOverwriteMethod},
    {{"out:", Match::kDecimal, 4}, SetOutputLevel, true, false, true},
    {{"cc:", Match::kDecimal, 3}, SetCameraControl, true, true},
    {{"port"}, SetPort},
    {{"num_simultaneous_cameras"}, SetNumSimultaneousCameras},
    {{"long_frames"}, SetLongFrames},
    {{"qtab_part"}, SetLongFrames},
    {{"long_frame_size"}, SetLongFrames},
    {{"image_height"}, SetRegion},
    {{"image_width"}, SetRegion},
    {{"start_column"}, SetRegion},
    {{"start_row"}, SetRegion},
    {{"dma_direction"}, SetDmaDirection},
    {{"resnap"}, SetResnap},
    {{"overflow_thread"}, SetOverflowThread},
    {{"hardware_exception_thread"}, SetHardwareExceptionThread},
    {{"overflow_count"}, SetOverflowCount},
    {{"hardware_exception_count"}, SetHardwareExceptionCount},
    {{"do_comm_write"}, SetCommWrite},
    {{"do_comm_param"}, SetCommParam},
    {{"do_comm_open"}, SetCommOpen},
    {{"do_comm_close"}, SetCommClose},
    {{"read_buf_size"}, SetReadBufSize},
    {{"do_comm_flush"}, SetCommFlush},
    {{"start_async_after_grab_async"}, SetStartAsyncAfterGrabAsync},
    {{"software_trigger"}, SetSoftwareTrigger},
    {{"do_force_trigger"}, SetForceTrigger},
    {{"external_trigger"}, SetExternalTrigger},
    {{"do_abort_capture"}, SetAbortGrab},
    {{"do_abort_grab"}, SetAbortGrab},
    {{"gport"}, SetGport},
    {{"encoder_scan_step"}, SetEncoderScanStep},
    {{"serial_timeout"}, SetSerialTimeout},
    {{"serial_baudrate"}, SetSerialBaudrate},
    {{"serial_write_delay"}, SetSerialWriteDelay},
    {{"serial_message"}, SetSerialMessage},
    {{"serial_terminate_code"}, SetSerialTerminateCode},
    {{"serial_message_buf_size"}, SetSerialMessageBufSize},
    {{"ctab_fill"}, SetCtabFill},
    {{"set_exposure_and_rate"}, SetExposureAndRate},
    {{"shutter_speed"}, SetShutterSpeed},
    {{"lut"}, SetLut},
    {{"set_buffer_data"}, SetBufferData},
    {{"do_flush_buffers"}, SetFlushBuffers},
    {{"register_poke:", Match::kWord, 13}, SetRegisterPoke, true, true},
    {{"cxp_poke:", Match::kHex, 9}, SetCxpPoke, kProfile.has_cxp_registers, true},
    {{"register_index_poke:", Match::kDecimal, 18}, SetRegisterIndexPoke, true, true},
    {{"wait_frame_exposure"}, SetWaitFrameExposure},
    {{"wait_frame_exposure_timeout"}, SetWaitFrameExposureTimeout},
    {{"print_grab"}, SetPrintGrab},
    {{"print_grab_number"}, SetPrintGrabNumber},
    {{"print_grab_offset"}, SetPrintGrabOffset},
    {{"switch_slave_firmware"}, SetSwitchSlaveFirmware},
    {{"freeze_firmware"}, SetFreezeFirmware},
    {{"do_reset_abs_buffer_index"}, SetResetAbsBufferIndex},
    {{"quick_switch_mode"}, SetQuickSwitchMode},
    {{"quick_switch_next_roi"}, SetQuickSwitchNextRoi},
    {{"quick_switch_num_rois"}, SetQuickSwitchNumRois},
    {{"quick_switch_num_buffers"}, SetQuickSwitchNumBuffers},
    {{"quick_switch_set_roi"}, SetQuickSwitchSetRoi},
    {{"multi_cam_stitch_set_main"}, SetStitchMain, kProfile.has_stitch_share},
    {{"multi_cam_stitch_buffer_lock"}, SetStitchBufferLock, kProfile.has_stitch_share},
    {{"multi_cam_stitch_set_num"}, SetStitchNum, kProfile.has_stitch_share},
    {{"multi_cam_stitch_set_aux"}, SetStitchAux, kProfile.has_stitch_share},
    {{"multi_cam_stitch_set_aux_num"}, SetStitchAuxNum, kProfile.has_stitch_share},
    {{"multi_cam_stitch_share_name"}, SetStitchShareName, kProfile.has_stitch_share},
};

// Actions need no value, except the two serial ones that carry data.
bool NeedsValue(const char *name) {
  const std::string_view text = name;
  if (text.size() < 3 || !EqualsIgnoreCase(text.substr(0, 3), "do_")) return true;
  return EqualsIgnoreCase(text, "do_comm_param") || EqualsIgnoreCase(text, "do_comm_write");
}

}  // namespace

Terr FGSetParam(Tproc_handle proc_id, TFgInstance *fginst, const char *name, Tcpar *value,
                int32_t num) {
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  if (name == nullptr) return FG_ERR_UNSUPPORTED;
  if ((num < 1 || value == nullptr) && NeedsValue(name)) {
    PrintErrorf("Trying to set parameter %s, but no value specified.\n(%s:%d)", name, "FGSetParam",
                __LINE__);
    return FG_ERR_PARAM_VALUE;
  }
  SetCall call{{proc_id, fginst, inst, name, 0, {}}, value, num};
  for (const SetEntry &entry : kSetTable) {
    if (!entry.available) continue;
    if (entry.integer_first && std::strncmp(name, entry.key.name, entry.key.prefix_length) == 0 &&
        value[0].type != TPAR_INT) {
      return FG_ERR_PARAM_TYPE;
    }
    if (entry.string_first && std::strncmp(name, entry.key.name, entry.key.prefix_length) == 0 &&
        (value[0].type != TPAR_STRING || value[0].par.s == nullptr)) {
      return FG_ERR_PARAM_TYPE;
    }
    const int matched = MatchKey(entry.key, name, call);
    if (matched < 0) return FG_ERR_UNSUPPORTED;
    if (matched > 0) return entry.handler(call);
  }
  return FG_ERR_UNSUPPORTED;
}

}  // namespace grabline
