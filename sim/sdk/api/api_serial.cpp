// The Camera Link serial calls. Reads and writes block on the port alone,
// outside every simulator lock, so other threads can feed or close it.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"
#include "model/serial_ports.hpp"

namespace bfsim::api {
namespace {

using model::SerialCodes;
using model::SerialPort;
using model::SerialPorts;

SerialPorts &Ports() { return SerialPorts::Get(); }

CLINT32 OpenPort(const SerialPorts::PortPtr &port, void **serial_ref) {
  if (!port) return CL_ERR_INVALID_REFERENCE;
  const uint64_t handle = Ports().OpenHandle(port);
  if (handle == 0) return CL_ERR_PORT_IN_USE;
  *serial_ref = HandleOf<void *>(handle);
  return CL_ERR_NO_ERR;
}

CLINT32 PortRef(const SerialPorts::PortPtr &port, void **port_ref) {
  if (!port) return CL_ERR_INVALID_REFERENCE;
  *port_ref = HandleOf<void *>(Ports().RefOf(port));
  return CL_ERR_NO_ERR;
}

CLINT32 ToCl(SerialPort::Io io) {
  switch (io) {
    case SerialPort::Io::kOk:
      return CL_ERR_NO_ERR;
    case SerialPort::Io::kTimeout:
      return CL_ERR_TIMEOUT;
    case SerialPort::Io::kClosed:
      return CL_ERR_INVALID_REFERENCE;
    case SerialPort::Io::kFailed:
      return CL_ERR_LINE_FAULT;
  }
  return CL_ERR_LINE_FAULT;
}

// Codes the settings call accepts: each selects a line.
bool ValidCodes(const SerialCodes &codes) { return model::DecodeLine(codes).has_value(); }

}  // namespace
}  // namespace bfsim::api

using bfsim::api::Entered;
using bfsim::api::Gate;
using bfsim::api::Handing;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Plain;
using bfsim::api::Ports;

extern "C" {

CLINT32 clBFSerialInitFromBoardHandle(Bd board, void **serial_ref) {
  return Gate<CLINT32>("clBFSerialInitFromBoardHandle", {}, OnBoard(board), [&]() -> CLINT32 {
    if (serial_ref == nullptr) return CL_ERR_INVALID_PTR;
    return bfsim::api::OpenPort(Ports().OfBoard(IdOf(board)), serial_ref);
  });
}

CLINT32 clBFGetSerialRefFromBoardHandle(Bd board, void **port_ref) {
  return Gate<CLINT32>("clBFGetSerialRefFromBoardHandle", {}, OnBoard(board), [&]() -> CLINT32 {
    if (port_ref == nullptr) return CL_ERR_INVALID_PTR;
    return bfsim::api::PortRef(Ports().OfBoard(IdOf(board)), port_ref);
  });
}

CLINT32 clBFGetSerialRef(uint32_t serial_index, void **port_ref) {
  return Gate<CLINT32>("clBFGetSerialRef", {serial_index}, [&]() -> CLINT32 {
    if (port_ref == nullptr) return CL_ERR_INVALID_PTR;
    auto port = Ports().OfIndex(serial_index);
    if (!port) return CL_ERR_INVALID_INDEX;
    return bfsim::api::PortRef(port, port_ref);
  });
}

CLINT32 clBFSerialSettings(void *port_ref, uint32_t baud, uint32_t data_bits, uint32_t parity,
                           uint32_t stop_bits) {
  return Gate<CLINT32>("clBFSerialSettings", {baud, data_bits, parity, stop_bits},
                       [&]() -> CLINT32 {
                         auto port = Ports().OfRef(IdOf(port_ref));
                         if (!port) return CL_ERR_INVALID_REFERENCE;
                         const bfsim::model::SerialCodes codes{baud, data_bits, parity, stop_bits};
                         if (!bfsim::api::ValidCodes(codes)) return CL_ERR_BAD_SETTING;
                         port->SetCodes(codes);
                         return CL_ERR_NO_ERR;
                       });
}

CLINT32 clBFGetBaudRate(void *port_ref, uint32_t *baud) {
  return Gate<CLINT32>("clBFGetBaudRate", {}, [&]() -> CLINT32 {
    if (baud == nullptr) return CL_ERR_INVALID_PTR;
    auto port = Ports().OfRef(IdOf(port_ref));
    if (!port) return CL_ERR_INVALID_REFERENCE;
    *baud = port->Codes().baud;
    return CL_ERR_NO_ERR;
  });
}

CLINT32 clSerialInit(uint32_t serial_index, void **serial_ref) {
  return Gate<CLINT32>("clSerialInit", {serial_index}, [&]() -> CLINT32 {
    if (serial_ref == nullptr) return CL_ERR_INVALID_PTR;
    auto port = Ports().OfIndex(serial_index);
    if (!port) return CL_ERR_INVALID_INDEX;
    return bfsim::api::OpenPort(port, serial_ref);
  });
}

CLINT32 clSerialRead(void *serial_ref, char *buffer, uint32_t *size, uint32_t timeout_ms) {
  return Gate<CLINT32>(
      "clSerialRead", {size ? *size : 0, timeout_ms}, Plain{}, [&](Entered &call) -> CLINT32 {
        if (size == nullptr || (buffer == nullptr && *size != 0)) {
          return CL_ERR_INVALID_PTR;
        }
        const uint64_t handle = IdOf(serial_ref);
        auto port = Ports().OfHandle(handle);
        if (!port) return CL_ERR_INVALID_REFERENCE;
        const CLINT32 result = bfsim::api::ToCl(port->Read(handle, buffer, *size, timeout_ms));
        // A closed port reads nothing and leaves `size` as it was.
        if (result != CL_ERR_INVALID_REFERENCE) {
          call.HandsBack(bfsim::api::Bytes(buffer, *size));
        }
        return result;
      });
}

CLINT32 clSerialWrite(void *serial_ref, const char *buffer, uint32_t *size, uint32_t timeout_ms) {
  return Gate<CLINT32>("clSerialWrite", {size ? *size : 0, timeout_ms},
                       Handing(buffer, size ? *size : 0), [&]() -> CLINT32 {
                         if (size == nullptr || (buffer == nullptr && *size != 0))
                           return CL_ERR_INVALID_PTR;
                         const uint64_t handle = IdOf(serial_ref);
                         auto port = Ports().OfHandle(handle);
                         if (!port) return CL_ERR_INVALID_REFERENCE;
                         return bfsim::api::ToCl(port->Write(handle, buffer, *size, timeout_ms));
                       });
}

CLINT32 clFlushPort(void *serial_ref) {
  return Gate<CLINT32>("clFlushPort", {}, [&]() -> CLINT32 {
    const uint64_t handle = IdOf(serial_ref);
    auto port = Ports().OfHandle(handle);
    if (!port) return CL_ERR_INVALID_REFERENCE;
    return bfsim::api::ToCl(port->Flush(handle));
  });
}

CLINT32 clSerialClose(void *serial_ref) {
  return Gate<CLINT32>("clSerialClose", {}, [&]() -> CLINT32 {
    return Ports().CloseHandle(IdOf(serial_ref)) ? CL_ERR_NO_ERR : CL_ERR_INVALID_REFERENCE;
  });
}

}  // extern "C"
