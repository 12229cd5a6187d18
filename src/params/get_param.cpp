// FGGetParam: finds the branch by name and writes its answer into the host's
// records. The table keeps the dispatch order; the first match wins.
#include "params/handlers.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

struct GetEntry {
  ParamKey key;
  GetHandler handler;
  bool available = true;
};

Terr AnswerNoValue(GetCall &call) {
  AnswerInt(call, -1);
  return FG_OK;
}

template <const char *kFirst, const char *kSecond>
Terr AnswerTwoWords(GetCall &call) {
  AnswerText(call, kFirst, 0);
  AnswerText(call, kSecond, 1);
  *call.count = 2;
  return FG_OK;
}

constexpr char kTopDown[] = "top-down";
constexpr char kBottomUp[] = "bottom-up";
constexpr char kEnable[] = "enable";
constexpr char kDisable[] = "disable";
constexpr char kTrue[] = "true";
constexpr char kFalse[] = "false";
constexpr char kAbortWord[] = "abort";
constexpr char kIgnoreWord[] = "ignore";

const GetEntry kGetTable[] = {
    {{"volatile"}, GetVolatile},
    {{"revision"}, GetRevision},
    {{"sdk_revision"}, GetSdkRevision},
    {{"sdk_build"}, GetSdkBuild},
    {{"firmware_file_name"}, GetFirmwareFileName},
    {{"firmware_directory"}, GetFirmwareDirectory},
    {{"grab_timeout"}, GetGrabTimeout},
    {{"trigger_timeout"}, GetTriggerTimeout},
    {{"continuous_grab_timeout"}, GetTriggerTimeout},
    {{"num_buffers"}, GetNumBuffers},
    {{"ring_buffer_stop_margin"}, GetRingBufferStopMargin},
    {{"show_internal_errors"}, GetShowInternalErrors},
    {{"continuous_grabbing"}, GetContinuousGrabbing},
    {{"callback_counter"}, GetCallbackCounter, kProfile.has_callbacks},
    {{"overwrite_method"}, GetOverwriteMethod},
    {{"out:", Match::kDecimal, 4}, GetOutputLevel},
    {{"num_simultaneous_cameras"}, GetNumSimultaneousCameras},
    {{"resnap"}, GetResnap},
    {{"in:", Match::kDecimal, 3}, GetInputLevel},
    {{"overflow_thread"}, GetOverflowThread},
    {{"hardware_exception_thread"}, GetHardwareExceptionThread},
    {{"overflow_count"}, GetOverflowCount},
    {{"hardware_exception_count"}, GetHardwareExceptionCount},
    {{"comm_read_str"}, GetCommReadStr},
    {{"do_comm_read"}, GetCommReadInt},
    {{"do_comm_read_str"}, GetCommReadStr},
    {{"do_comm_read_int"}, GetCommReadInt},
    {{"comm_read_int"}, GetCommReadInt},
    {{"read_buf_size"}, GetReadBufSize},
    {{"next_buffer_acquired"}, GetCounter<&RingPosition::next_buffer_acquired>},
    {{"next_buffer_returned"}, GetCounter<&RingPosition::next_buffer_returned>},
    {{"next_buffer_acquired_abs"}, GetCounter<&RingPosition::next_buffer_acquired_abs>},
    {{"next_buffer_returned_abs"}, GetCounter<&RingPosition::next_buffer_returned_abs>},
    {{"num_buffers_overwritten"}, GetCounter<&RingPosition::num_buffers_overwritten>},
    {{"do_reset_abs_buffer_index"}, GetResetAbsBufferIndex},
    {{"start_async_after_grab_async"}, GetStartAsyncAfterGrabAsync},
    {{"software_trigger"}, GetSoftwareTrigger},
    {{"gport"}, GetGport},
    {{"encoder_scan_step"}, GetEncoderScanStep},
    {{"lut"}, GetLut},
    {{"serial_timeout"}, GetSerialTimeout},
    {{"serial_baudrate"}, GetSerialBaudrate},
    {{"serial_write_delay"}, GetSerialWriteDelay},
    {{"serial_message"}, GetSerialMessage},
    {{"serial_terminate_code"}, GetSerialTerminateCode},
    {{"serial_message_buf_size"}, GetSerialMessageBufSize},
    {{"camera_connected"}, GetCameraConnected},
    {{"register_peek:", Match::kWord, 13}, GetRegisterPeek},
    {{"cxp_peek:", Match::kHex, 9}, GetCxpPeek, kProfile.has_cxp_registers},
    {{"register_index_peek:", Match::kUnsigned, 18}, GetRegisterIndexPeek},
    {{"register_index_get:", Match::kWord, 17}, GetRegisterIndex},
    {{"num_free_buffers"}, GetNumFreeBuffers},
    {{"dma_direction"}, GetDmaDirection},
    {{"end_of_exposure"}, GetEndOfExposure},
    {{"wait_frame_exposure"}, GetWaitFrameExposure},
    {{"wait_frame_exposure_timeout"}, GetWaitFrameExposureTimeout},
    {{"quick_switch_mode"}, GetQuickSwitchMode},
    {{"last_lines_to_go"}, GetLastLinesToGo},
    {{"grab_timeout_description"}, GetDescription},
    {{"image_height_description"}, GetDescription},
    {{"image_width_description"}, GetDescription},
    {{"lut_description"}, GetDescription},
    {{"resnap_description"}, GetDescription},
    {{"serial_write_delay_description"}, GetDescription},
    {{"trigger_timeout_description"}, GetDescription},
    {{"volatile_description"}, GetDescription},
    {{"do_force_trigger_values"}, AnswerNoValue},
    {{"ticks_per_second"}, GetTicksPerSecond},
    {{"do_abort_grab_values"}, AnswerNoValue, kProfile.has_callbacks},
    {{"do_abort_capture_values"}, AnswerNoValue},
    {{"do_comm_close_values"}, AnswerNoValue},
    {{"dma_direction_values"}, AnswerTwoWords<kTopDown, kBottomUp>},
    {{"do_comm_flush_values"}, AnswerNoValue},
    {{"do_comm_open_values"}, AnswerNoValue},
    {{"lut_values"}, AnswerTwoWords<kEnable, kDisable>},
    {{"overwrite_method_values"}, AnswerTwoWords<kAbortWord, kIgnoreWord>},
    {{"resnap_values"}, AnswerTwoWords<kTrue, kFalse>},
    {{"volatile_values"}, AnswerTwoWords<kEnable, kDisable>},
    {{"available_callback_types"}, GetAvailableCallbackTypes, kProfile.has_callbacks},
    {{"last_encoder_count"}, GetLastEncoderCount},
    {{"multi_cam_stitch_share_name"}, GetStitchShareName, kProfile.has_stitch_share},
};

}  // namespace

Terr FGGetParam(Tproc_handle proc_id, TFgInstance *fginst, const char *name, Tcpar *value,
                int32_t *num) {
  if (num != nullptr) *num = 1;
  InstanceRecord *inst = CurrInst(fginst);
  if (inst == nullptr || inst->board == nullptr) return FG_ERR_BOARD;
  if (name == nullptr) return FG_ERR_UNSUPPORTED;
  if (value == nullptr || num == nullptr) return FG_ERR_PARAM_VALUE;
  GetCall call{{proc_id, fginst, inst, name, 0, {}}, value, num};
  for (const GetEntry &entry : kGetTable) {
    if (!entry.available) continue;
    const int matched = MatchKey(entry.key, name, call);
    if (matched < 0) return FG_ERR_UNSUPPORTED;
    if (matched > 0) return entry.handler(call);
  }
  return FG_ERR_UNSUPPORTED;
}

}  // namespace grabline
