// The control API of the serial ports and the configuration query.
#include "api/config_lists.hpp"
#include "bfsim_control.hpp"
#include "model/serial_ports.hpp"

namespace bfsim {
namespace {

model::SerialPorts::PortPtr Port(uint32_t n) { return model::SerialPorts::Get().OfPosition(n); }

SerialLine ToLine(const model::SerialLine &line) {
  return SerialLine{line.baud, line.data_bits, line.parity, line.stop_bits};
}

}  // namespace

void QueueSerialBytes(uint32_t n, std::string_view bytes) {
  if (auto port = Port(n)) port->Queue(bytes);
}

size_t SerialPending(uint32_t n) {
  auto port = Port(n);
  return port ? port->Pending() : 0;
}

std::vector<SerialWriteRecord> TakeSerialWrites(uint32_t n) {
  std::vector<SerialWriteRecord> records;
  if (auto port = Port(n)) {
    for (model::SerialWrite &write : port->TakeWrites()) {
      records.push_back(SerialWriteRecord{std::move(write.bytes), write.at_us});
    }
  }
  return records;
}

std::string TakeSerialWritten(uint32_t n) {
  std::string bytes;
  for (const SerialWriteRecord &record : TakeSerialWrites(n)) bytes += record.bytes;
  return bytes;
}

void SetSerialCameraLine(uint32_t n, const SerialLine &line) {
  if (auto port = Port(n)) {
    port->SetCameraLine(model::SerialLine{line.baud, line.data_bits, line.parity, line.stop_bits});
  }
}

std::optional<SerialLine> SerialPortLine(uint32_t n) {
  auto port = Port(n);
  if (!port) return std::nullopt;
  std::optional<model::SerialLine> line = model::DecodeLine(port->Codes());
  if (!line) return std::nullopt;
  return ToLine(*line);
}

void SetSerialPortBaudCode(uint32_t n, uint32_t code) {
  if (auto port = Port(n)) {
    model::SerialCodes codes = port->Codes();
    codes.baud = code;
    port->SetCodes(codes);
  }
}

void SetSerialWriteFault(uint32_t n, SerialWriteFault fault) {
  using Fault = model::SerialPort::WriteFault;
  if (auto port = Port(n)) {
    port->SetWriteFault(fault == SerialWriteFault::kFail    ? Fault::kFail
                        : fault == SerialWriteFault::kStall ? Fault::kStall
                                                            : Fault::kNone);
  }
}

std::optional<SerialCameraState> SerialCamera(uint32_t n) {
  auto port = Port(n);
  if (!port) return std::nullopt;
  return SerialCameraState{port->CameraExposure(), port->CameraGain()};
}

uint32_t OpenSerialHandles() { return model::SerialPorts::Get().OpenHandles(); }

uint32_t BlockedSerialCalls(uint32_t n) {
  auto port = Port(n);
  return port ? port->BlockedCalls() : 0;
}

uint32_t LiveDeviceLists() { return api::LiveDeviceLists(); }

}  // namespace bfsim
