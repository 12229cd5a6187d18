// handlers.hpp — the parameter branches, each defined with its feature and
// routed by the tables of set_param.cpp and get_param.cpp.
#pragma once

#include "params/param_match.hpp"

namespace grabline {

// General (general_params.cpp).
Terr SetShowInternalErrors(SetCall &call);
Terr GetShowInternalErrors(GetCall &call);
Terr SetDebugOutput(SetCall &call);
Terr SetNumSimultaneousCameras(SetCall &call);
Terr GetNumSimultaneousCameras(GetCall &call);
Terr GetRevision(GetCall &call);
Terr GetCameraConnected(GetCall &call);
Terr GetDescription(GetCall &call);  // the "..._description" help texts

// Port and region (region_params.cpp).
Terr SetPort(SetCall &call);
Terr SetRegion(SetCall &call);  // image_width, image_height, start_column, start_row

// Ring (ring_params.cpp).
Terr SetNumBuffers(SetCall &call);
Terr GetNumBuffers(GetCall &call);
Terr SetLongFrames(SetCall &call);

// Image assembly (assembly_params.cpp).
Terr SetVolatile(SetCall &call);
Terr GetVolatile(GetCall &call);
Terr SetDmaDirection(SetCall &call);
Terr GetDmaDirection(GetCall &call);
Terr SetPrintGrab(SetCall &call);
Terr SetPrintGrabNumber(SetCall &call);
Terr SetPrintGrabOffset(SetCall &call);

// Snaps (snap_params.cpp).
Terr SetGrabTimeout(SetCall &call);
Terr GetGrabTimeout(GetCall &call);
Terr SetTriggerTimeout(SetCall &call);
Terr GetTriggerTimeout(GetCall &call);
Terr SetResnap(SetCall &call);
Terr GetResnap(GetCall &call);
Terr SetStartAsyncAfterGrabAsync(SetCall &call);
Terr GetStartAsyncAfterGrabAsync(GetCall &call);
Terr SetAbortGrab(SetCall &call);
Terr SetWaitFrameExposure(SetCall &call);
Terr GetWaitFrameExposure(GetCall &call);
Terr SetWaitFrameExposureTimeout(SetCall &call);
Terr GetWaitFrameExposureTimeout(GetCall &call);
Terr GetEndOfExposure(GetCall &call);
Terr GetLastLinesToGo(GetCall &call);

// Continuous grabbing (continuous_params.cpp).
Terr SetContinuousGrabbing(SetCall &call);
Terr GetContinuousGrabbing(GetCall &call);
Terr SetOverwriteMethod(SetCall &call);
Terr GetOverwriteMethod(GetCall &call);
Terr SetRingBufferStopMargin(SetCall &call);
Terr GetRingBufferStopMargin(GetCall &call);
Terr GetNumFreeBuffers(GetCall &call);
// The ring counters: next_buffer_acquired, ..._returned, their _abs forms and
// num_buffers_overwritten.
template <std::atomic<uint32_t> RingPosition::*kCounter>
Terr GetCounter(GetCall &call) {
  AnswerInt(call, (call.inst->position.*kCounter).load());
  return FG_OK;
}
Terr SetFlushBuffers(SetCall &call);
Terr SetResetAbsBufferIndex(SetCall &call);
Terr GetResetAbsBufferIndex(GetCall &call);
Terr SetBufferData(SetCall &call);
Terr SetSoftwareTimestamp(SetCall &call);

// Registers (register_params.cpp).
Terr GetRegisterPeek(GetCall &call);
Terr GetRegisterIndex(GetCall &call);
Terr GetRegisterIndexPeek(GetCall &call);
Terr SetRegisterPoke(SetCall &call);
Terr SetRegisterIndexPoke(SetCall &call);
Terr GetCxpPeek(GetCall &call);
Terr SetCxpPoke(SetCall &call);

// LUT (io/lut.cpp) and control table (io/ctab.cpp).
Terr SetLut(SetCall &call);
Terr GetLut(GetCall &call);
Terr SetCtabFill(SetCall &call);

// Digital lines (io/lines.cpp).
Terr SetGport(SetCall &call);
Terr GetGport(GetCall &call);
Terr SetOutputLevel(SetCall &call);  // out:n
Terr GetOutputLevel(GetCall &call);
Terr GetInputLevel(GetCall &call);     // in:n
Terr SetCameraControl(SetCall &call);  // cc:n

// Exposure (io/exposure.cpp) and triggers (io/triggers.cpp).
Terr SetExposureAndRate(SetCall &call);
Terr SetShutterSpeed(SetCall &call);
Terr SetSoftwareTrigger(SetCall &call);
Terr GetSoftwareTrigger(GetCall &call);
Terr SetForceTrigger(SetCall &call);
Terr SetExternalTrigger(SetCall &call);
Terr SetEncoderScanStep(SetCall &call);
Terr GetEncoderScanStep(GetCall &call);
Terr GetLastEncoderCount(GetCall &call);

// Event threads and callbacks (event_params.cpp).
Terr SetOverflowThread(SetCall &call);
Terr GetOverflowThread(GetCall &call);
Terr SetHardwareExceptionThread(SetCall &call);
Terr GetHardwareExceptionThread(GetCall &call);
Terr SetOverflowCount(SetCall &call);
Terr GetOverflowCount(GetCall &call);
Terr SetHardwareExceptionCount(SetCall &call);
Terr GetHardwareExceptionCount(GetCall &call);
Terr GetCallbackCounter(GetCall &call);
Terr GetAvailableCallbackTypes(GetCall &call);
Terr GetTicksPerSecond(GetCall &call);

// Camera Link serial (io/serial.cpp, io/serial_settings.cpp).
Terr SetCommWrite(SetCall &call);
Terr SetCommParam(SetCall &call);
Terr SetCommOpen(SetCall &call);
Terr SetCommClose(SetCall &call);
Terr SetReadBufSize(SetCall &call);
Terr GetReadBufSize(GetCall &call);
Terr SetCommFlush(SetCall &call);
Terr SetSerialTimeout(SetCall &call);
Terr GetSerialTimeout(GetCall &call);
Terr SetSerialBaudrate(SetCall &call);
Terr GetSerialBaudrate(GetCall &call);
Terr SetSerialWriteDelay(SetCall &call);
Terr GetSerialWriteDelay(GetCall &call);
Terr SetSerialMessage(SetCall &call);
Terr GetSerialMessage(GetCall &call);
Terr SetSerialTerminateCode(SetCall &call);
Terr GetSerialTerminateCode(GetCall &call);
Terr SetSerialMessageBufSize(SetCall &call);
Terr GetSerialMessageBufSize(GetCall &call);
Terr GetCommReadStr(GetCall &call);  // comm_read_str, do_comm_read_str
Terr GetCommReadInt(GetCall &call);  // do_comm_read, do_comm_read_int, comm_read_int

// Quick Switch (quick_switch_params.cpp).
Terr SetQuickSwitchMode(SetCall &call);
Terr GetQuickSwitchMode(GetCall &call);
Terr SetQuickSwitchNextRoi(SetCall &call);
Terr SetQuickSwitchNumRois(SetCall &call);
Terr SetQuickSwitchNumBuffers(SetCall &call);
Terr SetQuickSwitchSetRoi(SetCall &call);

// Firmware and SDK versions (io/firmware.cpp).
Terr GetSdkRevision(GetCall &call);
Terr GetSdkBuild(GetCall &call);
Terr GetFirmwareFileName(GetCall &call);
Terr GetFirmwareDirectory(GetCall &call);
Terr SetSwitchSlaveFirmware(SetCall &call);
Terr SetFreezeFirmware(SetCall &call);

// Multi-camera stitching share (stitch_params.cpp).
Terr SetStitchMain(SetCall &call);
Terr SetStitchBufferLock(SetCall &call);
Terr SetStitchNum(SetCall &call);
Terr SetStitchAux(SetCall &call);
Terr SetStitchAuxNum(SetCall &call);
Terr SetStitchShareName(SetCall &call);
Terr GetStitchShareName(GetCall &call);

}  // namespace grabline
