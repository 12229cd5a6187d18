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

void FreeBuffers(SerialPortState &port) {
  HeapRelease(port.read_buffer);
  HeapRelease(port.message_buffer);
}

// The references are given up together with the port; a port opened only
// half (one reference, or no buffers) is closed again so it never counts as
// open without being usable.
void ClosePort(SerialPortState &port) {
  if (port.handle != nullptr) clSerialClose(port.handle);
  port.handle = nullptr;
  port.port_ref = nullptr;
  FreeBuffers(port);
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

Terr OpenReferences(Bd board, SerialPortState &port) {
  if constexpr (kProfile.serial_by_board_handle) {
    if (clBFSerialInitFromBoardHandle(board, &port.handle) != CL_ERR_NO_ERR) {
      port.handle = nullptr;
      return FG_ERR_SERIAL_INIT;
    }
    if (clBFGetSerialRefFromBoardHandle(board, &port.port_ref) != CL_ERR_NO_ERR) {
      return FG_ERR_SERIAL_INIT;
    }
  } else {
    uint32_t index = 0;
    const Terr result = PortIndex(board, &index);
    if (result != FG_OK) return result;
    if (clSerialInit(index, &port.handle) != CL_ERR_NO_ERR) {
      port.handle = nullptr;
      return FG_ERR_SERIAL_INIT;
    }
    if (clBFGetSerialRef(index, &port.port_ref) != CL_ERR_NO_ERR) return FG_ERR_SERIAL_INIT;
  }
  return FG_OK;
}

Terr AllocateBuffers(SerialPortState &port) {
  port.read_buffer = static_cast<char *>(HeapAllocate(kCommReadBufferSize));
  if (port.read_buffer == nullptr) {
    PrintError("Unable to allocate memory for read buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  // After a failed resize there is no message size to allocate; the port
  // opens without a message buffer and message reads are refused.
  if (port.message_size == 0) return FG_OK;
  port.message_buffer = static_cast<char *>(HeapAllocate(port.message_size));
  if (port.message_buffer == nullptr) {
    PrintError("Unable to allocate memory for serial message buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  return FG_OK;
}

// One clSerialWrite and its result as a host code.
Terr WriteBytes(const SerialPortState &port, const char *bytes, uint32_t length) {
  uint32_t size = length;
  const CLINT32 result = clSerialWrite(port.handle, bytes, &size, port.timeout_ms);
  if (result == CL_ERR_TIMEOUT) {
    PrintError("Timed out writing message.");
    return FG_ERR_TIMEOUT;
  }
  return result == CL_ERR_NO_ERR ? FG_OK : FG_ERR_SERIAL_WRITE;
}

Terr WriteValue(const SerialPortState &port, const Tcpar &value) {
  const uint32_t delay = port.write_delay_ms;
  if (value.type == TPAR_INT) {
    const char byte = static_cast<char>(value.par.l & 0xFF);
    return WriteBytes(port, &byte, 1);
  }
  if (value.type != TPAR_STRING || value.par.s == nullptr) return FG_ERR_PARAM_TYPE;
  const char *text = value.par.s;
  const size_t length = std::strlen(text);
  if (delay == 0) {
    if (length > UINT32_MAX) return FG_ERR_PARAM_VALUE;
    return WriteBytes(port, text, static_cast<uint32_t>(length));
  }
  for (size_t i = 0; i < length; ++i) {
    const Terr result = WriteBytes(port, text + i, 1);
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
Terr ReadBlock(SerialPortState &port) {
  if (!SerialPortOpen(port)) return SerialHandleError();
  if (port.read_size == 0) {
    PrintError("Read buffer size must be set before reading.");
    return FG_ERR_UNSUPPORTED;
  }
  uint32_t size = port.read_size;
  return ReadResult(clSerialRead(port.handle, port.read_buffer, &size, port.timeout_ms));
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

void CloseSerialPort(InstanceRecord &inst) { ClosePort(inst.serial); }

Terr SerialHandleError() {
  PrintError("Invalid serial handle.");
  return FG_ERR_SERIAL_HANDLE;
}

// ---- the port ---------------------------------------------------------------------------

Terr SetCommOpen(SetCall &call) {
  InstanceRecord &inst = *call.inst;
  if (BFIsCL(inst.board->handle) == 0) return FG_ERR_SERIAL_NOT_CL;
  SerialPortState &port = inst.serial;
  // Opening again gives up the old port first: its reference would be lost.
  ClosePort(port);
  Terr result = OpenReferences(inst.board->handle, port);
  if (result == FG_OK) result = AllocateBuffers(port);
  if (result != FG_OK) ClosePort(port);
  return result;
}

Terr SetCommClose(SetCall &call) {
  SerialPortState &port = call.inst->serial;
  if (!SerialPortOpen(port)) return SerialHandleError();
  ClosePort(port);
  return FG_OK;
}

Terr SetCommFlush(SetCall &call) {
  const SerialPortState &port = call.inst->serial;
  if (!SerialPortOpen(port)) return SerialHandleError();
  if (clFlushPort(port.handle) != CL_ERR_NO_ERR) {
    PrintError("Error flushing buffer.");
    return FG_ERR_SERIAL_HANDLE;
  }
  return FG_OK;
}

Terr SetCommWrite(SetCall &call) {
  const SerialPortState &port = call.inst->serial;
  if (!SerialPortOpen(port)) return SerialHandleError();
  for (int32_t i = 0; i < call.count; ++i) {
    const Terr result = WriteValue(port, call.values[i]);
    if (result != FG_OK) return result;
    if (port.write_delay_ms != 0) os::Sleep(port.write_delay_ms);
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
  SerialPortState &port = call.inst->serial;
  const Terr result = ReadBlock(port);
  if (result != FG_OK) return result;
  port.read_buffer[port.read_size] = '\0';
  AnswerText(call, port.read_buffer);
  return FG_OK;
}

Terr GetCommReadInt(GetCall &call) {
  SerialPortState &port = call.inst->serial;
  const Terr result = ReadBlock(port);
  if (result != FG_OK) return result;
  for (uint32_t i = 0; i < port.read_size; ++i) {
    call.values[i].type = TPAR_INT;
    call.values[i].par.l = static_cast<unsigned char>(port.read_buffer[i]);
  }
  *call.count = static_cast<int32_t>(port.read_size);
  return FG_OK;
}

Terr GetSerialMessage(GetCall &call) {
  const SerialPortState &port = call.inst->serial;
  if (!SerialPortOpen(port)) return SerialHandleError();
  if (port.message_buffer == nullptr || port.message_size == 0) {
    PrintError("No serial message buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  char *message = port.message_buffer;
  std::memset(message, 0, port.message_size);
  uint32_t stored = 0;
  for (uint32_t i = 0; i + 1 < port.message_size; ++i) {
    char byte = 0;
    uint32_t size = 1;
    const Terr result = ReadResult(clSerialRead(port.handle, &byte, &size, port.timeout_ms));
    if (result != FG_OK) return result;
    if (static_cast<unsigned char>(byte) == port.terminate_code) break;
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
  call.inst->serial.read_size = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr GetReadBufSize(GetCall &call) {
  AnswerInt(call, call.inst->serial.read_size);
  return FG_OK;
}

Terr SetSerialTerminateCode(SetCall &call) {
  const Tcpar &value = call.first();
  if (value.type != TPAR_INT) return FG_ERR_PARAM_TYPE;
  if (value.par.l < 0 || value.par.l > 255) {
    PrintError("The serial termination code must be a number between 0 and 255");
    return FG_ERR_PARAM_VALUE;
  }
  call.inst->serial.terminate_code = static_cast<uint32_t>(value.par.l);
  return FG_OK;
}

Terr GetSerialTerminateCode(GetCall &call) {
  AnswerInt(call, call.inst->serial.terminate_code);
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
  SerialPortState &port = call.inst->serial;
  HeapRelease(port.message_buffer);
  port.message_size = static_cast<uint32_t>(value.par.l);
  port.message_buffer = static_cast<char *>(HeapAllocate(port.message_size));
  if (port.message_buffer == nullptr) {
    port.message_size = 0;
    PrintError("Unable to allocate memory for serial message buffer.");
    return FG_ERR_SERIAL_BUFFER;
  }
  return FG_OK;
}

Terr GetSerialMessageBufSize(GetCall &call) {
  AnswerInt(call, call.inst->serial.message_size);
  return FG_OK;
}

Terr SetSerialTimeout(SetCall &call) { return StoreLow32(call, &call.inst->serial.timeout_ms); }

Terr GetSerialTimeout(GetCall &call) {
  AnswerInt(call, call.inst->serial.timeout_ms);
  return FG_OK;
}

Terr SetSerialWriteDelay(SetCall &call) {
  return StoreLow32(call, &call.inst->serial.write_delay_ms);
}

Terr GetSerialWriteDelay(GetCall &call) {
  AnswerInt(call, call.inst->serial.write_delay_ms);
  return FG_OK;
}

}  // namespace grabline
