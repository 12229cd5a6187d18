// The Camera Link serial port of an instance: open and close, flush, writes
// with and without pacing, block and message reads, and the stored settings.
#include "io/serial.hpp"

#include <cstdlib>
#include <cstring>

#include "params/handlers.hpp"
#include "platform/os.hpp"
#include "plugin/error_report.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

// The configuration query of the standard build: at most 16 devices of the
// three families it drives, ordered by family.
constexpr uint32_t kCfgMaxDevices = 16;
constexpr uint32_t kCfgFamilies = CISYS_TYPE_RR | CISYS_TYPE_RV | CISYS_TYPE_R64;

void *DefaultAllocate(size_t size) { return std::malloc(size); }
void DefaultRelease(void *block) { std::free(block); }

SerialHeap g_heap{DefaultAllocate, DefaultRelease};

void *HeapAllocate(size_t size) { return g_heap.allocate(size); }

void HeapRelease(char *&block) {
  if (block != nullptr) g_heap.release(block);
  block = nullptr;
}

void FreeBuffers(InstanceRecord &inst) {
  HeapRelease(inst.comm_read_buffer);
  HeapRelease(inst.comm_message_buffer);
}

// The references are given up together with the port; a port opened only
// half (one reference, or no buffers) is closed again so it never counts as
// open without being usable.
void ClosePort(InstanceRecord &inst) {
  if (inst.comm_handle != nullptr) clSerialClose(inst.comm_handle);
  inst.comm_handle = nullptr;
  inst.comm_bf_ref = nullptr;
  FreeBuffers(inst);
}

// The board's serial index: the configured devices with a serial port that
// come before it in the sorted device list.
[[maybe_unused]] Terr PortIndex(Bd board, uint32_t *index) {
  BFCFG_BOARD record{};
  if (BFGetCfgBoardVFO(board, &record) != BF_OK) return FG_ERR_SERIAL_INIT;
  BFCFG_DEVICE *list = nullptr;
  if (BFGetCfgDevicesSorted(kCfgMaxDevices, kCfgFamilies, BF_CFG_ORDER_FAMILY, &list) != BF_OK) {
    return FG_ERR_SERIAL_INIT;
  }
  uint32_t count = 0;
  bool found = false;
  for (const BFCFG_DEVICE *device = list; device != nullptr; device = device->next) {
    if (device->id == record.id) {
      found = true;
      break;
    }
    if (device->has_serial != 0) ++count;
  }
  // A refused free would lose the list for good: one more try.
  if (BFFreeCfgDevices(list) != BF_OK) BFFreeCfgDevices(list);
  // A board missing from the list has no index; any count would name another board's port.
  if (!found) return FG_ERR_SERIAL_INIT;
  *index = count;
  return FG_OK;
}

Terr OpenReferences(InstanceRecord &inst) {
  Bd board = inst.board->handle;
  if constexpr (kProfile.serial_by_board_handle) {
    if (clBFSerialInitFromBoardHandle(board, &inst.comm_handle) != CL_ERR_NO_ERR) {
      inst.comm_handle = nullptr;
      return FG_ERR_SERIAL_INIT;
    }
    if (clBFGetSerialRefFromBoardHandle(board, &inst.comm_bf_ref) != CL_ERR_NO_ERR) {
      return FG_ERR_SERIAL_INIT;
    }
  } else {
    uint32_t index = 0;
    const Terr result = PortIndex(board, &index);
    if (result != FG_OK) return result;
    if (clSerialInit(index, &inst.comm_handle) != CL_ERR_NO_ERR) {
      inst.comm_handle = nullptr;
      return FG_ERR_SERIAL_INIT;
    }
    if (clBFGetSerialRef(index, &inst.comm_bf_ref) != CL_ERR_NO_ERR) return FG_ERR_SERIAL_INIT;
  }
  return FG_OK;
}

Terr AllocateBuffers(InstanceRecord &inst) {
  inst.comm_read_buffer = static_cast<char *>(HeapAllocate(kCommReadBufferSize));
  if (inst.comm_read_buffer == nullptr) {
    PrintError("Unable to allocate memory for read buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  // After a failed resize there is no message size to allocate; the port
  // opens without a message buffer and message reads are refused.
  if (inst.comm_message_size == 0) return FG_OK;
  inst.comm_message_buffer = static_cast<char *>(HeapAllocate(inst.comm_message_size));
  if (inst.comm_message_buffer == nullptr) {
    PrintError("Unable to allocate memory for serial message buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  return FG_OK;
}

// One clSerialWrite and its result as a host code.
Terr WriteBytes(InstanceRecord &inst, const char *bytes, uint32_t length) {
  uint32_t size = length;
  const CLINT32 result = clSerialWrite(inst.comm_handle, bytes, &size, inst.comm_timeout);
  if (result == CL_ERR_TIMEOUT) {
    PrintError("Timed out writing message.");
    return FG_ERR_TIMEOUT;
  }
  return result == CL_ERR_NO_ERR ? FG_OK : FG_ERR_SERIAL_WRITE;
}

Terr WriteValue(InstanceRecord &inst, const Tcpar &value) {
  const uint32_t delay = inst.comm_write_delay;
  if (value.type == TPAR_INT) {
    const char byte = static_cast<char>(value.par.l & 0xFF);
    return WriteBytes(inst, &byte, 1);
  }
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  const char *text = value.par.s;
  const size_t length = std::strlen(text);
  if (delay == 0) {
    if (length > UINT32_MAX) return FG_ERR_PARAM_VALUE;
    return WriteBytes(inst, text, static_cast<uint32_t>(length));
  }
  for (size_t i = 0; i < length; ++i) {
    const Terr result = WriteBytes(inst, text + i, 1);
    if (result != FG_OK) return result;
    os::Sleep(delay);
  }
  return FG_OK;
}

Terr ReadResult(CLINT32 result) {
  if (result == CL_ERR_TIMEOUT) {
    PrintError("Timed out reading message.");
    return FG_ERR_TIMEOUT;
  }
  return result == CL_ERR_NO_ERR ? FG_OK : FG_ERR_SERIAL_BUFFER;
}

// The block read both answer forms share.
Terr ReadBlock(InstanceRecord &inst) {
  if (!SerialPortOpen(inst)) return SerialHandleError();
  if (inst.comm_read_size == 0) {
    PrintError("Read buffer size must be set before reading.");
    return FG_ERR_UNSUPPORTED;
  }
  uint32_t size = inst.comm_read_size;
  return ReadResult(
      clSerialRead(inst.comm_handle, inst.comm_read_buffer, &size, inst.comm_timeout));
}

// Stored settings: an integer, of which the low 32 bits are kept.
Terr StoreLow32(const SetCall &call, uint32_t *field) {
  if (call.first().type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  *field = static_cast<uint32_t>(call.first().par.l);
  return FG_OK;
}

}  // namespace

void SetSerialHeap(const SerialHeap &heap) {
  g_heap.allocate = heap.allocate != nullptr ? heap.allocate : DefaultAllocate;
  g_heap.release = heap.release != nullptr ? heap.release : DefaultRelease;
}

void CloseSerialPort(InstanceRecord &inst) { ClosePort(inst); }

Terr SerialHandleError() {
  PrintError("Invalid serial handle.");
  return FG_ERR_SERIAL_HANDLE;
}

// ---- the port ---------------------------------------------------------------------------

Terr SetCommOpen(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (BFIsCL(inst.board->handle) == 0) return FG_ERR_SERIAL_NOT_CL;
  // Opening again gives up the old port first: its reference would be lost.
  ClosePort(inst);
  Terr result = OpenReferences(inst);
  if (result == FG_OK) result = AllocateBuffers(inst);
  if (result != FG_OK) ClosePort(inst);
  return result;
}

Terr SetCommClose(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (!SerialPortOpen(inst)) return SerialHandleError();
  ClosePort(inst);
  return FG_OK;
}

Terr SetCommFlush(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (!SerialPortOpen(inst)) return SerialHandleError();
  if (clFlushPort(inst.comm_handle) != CL_ERR_NO_ERR) {
    PrintError("Error flushing buffer.");
    return FG_ERR_SERIAL_HANDLE;
  }
  return FG_OK;
}

Terr SetCommWrite(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (!SerialPortOpen(inst)) return SerialHandleError();
  for (int32_t i = 0; i < call.count; ++i) {
    const Terr result = WriteValue(inst, call.values[i]);
    if (result != FG_OK) return result;
    if (inst.comm_write_delay != 0) os::Sleep(inst.comm_write_delay);
  }
  return FG_OK;
}

Terr SetSerialMessage(SetCall &call) {
  Tcpar text = call.first();
  if (text.type != TPAR_STRING || text.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  return FGSetParam(call.proc_id, call.fginst, "do_comm_write", &text, 1);
}

// ---- reads ------------------------------------------------------------------------------

Terr GetCommReadStr(GetCall &call) {
  InstanceRecord &inst = *call.inst;
  const Terr result = ReadBlock(inst);
  if (result != FG_OK) return result;
  inst.comm_read_buffer[inst.comm_read_size] = '\0';
  AnswerText(call, inst.comm_read_buffer);
  return FG_OK;
}

Terr GetCommReadInt(GetCall &call) {
  InstanceRecord &inst = *call.inst;
  const Terr result = ReadBlock(inst);
  if (result != FG_OK) return result;
  for (uint32_t i = 0; i < inst.comm_read_size; ++i) {
    call.values[i].type = TPAR_INT;
    call.values[i].par.l = static_cast<unsigned char>(inst.comm_read_buffer[i]);
  }
  *call.count = static_cast<int32_t>(inst.comm_read_size);
  return FG_OK;
}

Terr GetSerialMessage(GetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (!SerialPortOpen(inst)) return SerialHandleError();
  if (inst.comm_message_buffer == nullptr || inst.comm_message_size == 0) {
    PrintError("No serial message buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  char *message = inst.comm_message_buffer;
  std::memset(message, 0, inst.comm_message_size);
  uint32_t stored = 0;
  for (uint32_t i = 0; i + 1 < inst.comm_message_size; ++i) {
    char byte = 0;
    uint32_t size = 1;
    const Terr result = ReadResult(clSerialRead(inst.comm_handle, &byte, &size, inst.comm_timeout));
    if (result != FG_OK) return result;
    if (static_cast<unsigned char>(byte) == inst.comm_terminate_code) break;
    message[stored++] = byte;
  }
  message[stored] = '\0';
  AnswerText(call, message);
  return FG_OK;
}

// ---- stored settings --------------------------------------------------------------------

Terr SetReadBufSize(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l <= 0) {
    PrintError("Read buffer size must be greater than zero.");
    return FG_ERR_PARAM_VALUE;
  }
  if (value.par.l > kCommMaxSize) {
    PrintError("Read buffer size must be smaller than 32768.");
    return FG_ERR_PARAM_VALUE;
  }
  call.inst->comm_read_size = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr GetReadBufSize(GetCall &call) {
  AnswerInt(call, call.inst->comm_read_size);
  return FG_OK;
}

Terr SetSerialTerminateCode(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l < 0 || value.par.l > 255) {
    PrintError("The serial termination code must be a number between 0 and 255");
    return FG_ERR_PARAM_VALUE;
  }
  call.inst->comm_terminate_code = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr GetSerialTerminateCode(GetCall &call) {
  AnswerInt(call, call.inst->comm_terminate_code);
  return FG_OK;
}

Terr SetSerialMessageBufSize(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l > kCommMaxSize) {
    PrintError("The buffer size is too big. The max. size for the serial buffer is 32767.");
    return FG_ERR_PARAM_VALUE;
  }
  // The buffer holds at least the terminating NUL.
  if (value.par.l < 1) {
    PrintError("The buffer size must be at least 1.");
    return FG_ERR_PARAM_VALUE;
  }
  InstanceRecord &inst = *call.inst;
  HeapRelease(inst.comm_message_buffer);
  inst.comm_message_size = static_cast<uint32_t>(value.par.l);
  inst.comm_message_buffer = static_cast<char *>(HeapAllocate(inst.comm_message_size));
  if (inst.comm_message_buffer == nullptr) {
    inst.comm_message_size = 0;
    PrintError("Unable to allocate memory for serial message buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  return FG_OK;
}

Terr GetSerialMessageBufSize(GetCall &call) {
  AnswerInt(call, call.inst->comm_message_size);
  return FG_OK;
}

Terr SetSerialTimeout(SetCall &call) { return StoreLow32(call, &call.inst->comm_timeout); }

Terr GetSerialTimeout(GetCall &call) {
  AnswerInt(call, call.inst->comm_timeout);
  return FG_OK;
}

Terr SetSerialWriteDelay(SetCall &call) { return StoreLow32(call, &call.inst->comm_write_delay); }

Terr GetSerialWriteDelay(GetCall &call) {
  AnswerInt(call, call.inst->comm_write_delay);
  return FG_OK;
}

}  // namespace grabline
