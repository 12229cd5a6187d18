// serial_port.hpp — the Camera Link serial port of one board: its line
// settings, the bytes received from the camera and not yet read, what was
// written, and the camera wired to it. Reads and writes block on the port
// alone, never on a lock of the system, so bytes queued from another thread
// release a waiting read.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/serial_camera.hpp"

namespace bfsim::model {

// A line as a camera is set up: 9600, 19200, ... 230400 baud; 5 to 8 data
// bits; parity 'N', 'O' or 'E'; stop bits 1, 15 (one and a half) or 2.
struct SerialLine {
  uint32_t baud = 9600;
  uint32_t data_bits = 8;
  char parity = 'N';
  uint32_t stop_bits = 1;
  bool operator==(const SerialLine &) const = default;
};

// The line as the port's registers hold it, in the codes the settings call
// takes: baud 1, 2, 4, 8, 16, 32; data bits 0..3 for 5..8; parity 0 even,
// 1 odd, 2 none; stop bits 0, 1, 2 for 1, 15, 2.
struct SerialCodes {
  uint32_t baud = 1;
  uint32_t data_bits = 3;
  uint32_t parity = 2;
  uint32_t stop_bits = 0;
};
// The line the codes select; nullopt when one of them selects none.
std::optional<SerialLine> DecodeLine(const SerialCodes &codes);

// One write call as the port received it.
struct SerialWrite {
  std::string bytes;
  uint64_t at_us = 0;  // fine ticks (FineTick) when it arrived
};

class SerialPort {
 public:
  enum class Io : uint8_t { kOk, kTimeout, kClosed, kFailed };
  enum class WriteFault : uint8_t { kNone, kFail, kStall };

  // Bytes received and not read are kept up to this many; the rest overrun.
  static constexpr size_t kMaxPending = 64 * 1024;
  // Write records are kept up to this many bytes; the oldest go first.
  static constexpr size_t kMaxWritten = 1024 * 1024;

  // The port is open through at most one handle at a time.
  bool Open(uint64_t handle);
  bool Close(uint64_t handle);
  bool IsOpen();
  // The system that had this port is gone: handles fail, waits end.
  void Retire();

  // Exactly `size` bytes within `timeout_ms`; on time-out what did arrive is
  // taken and `size` tells how much.
  Io Read(uint64_t handle, char *buffer, uint32_t &size, uint32_t timeout_ms);
  // All `size` bytes; `size` tells how many went out.
  Io Write(uint64_t handle, const char *buffer, uint32_t &size, uint32_t timeout_ms);
  Io Flush(uint64_t handle);

  void SetCodes(const SerialCodes &codes);
  SerialCodes Codes();

  // ---- what tests see and drive ----------------------------------------------
  void Queue(std::string_view bytes);
  std::vector<SerialWrite> TakeWrites();
  void SetCameraLine(const SerialLine &line);
  SerialLine CameraLine();
  void SetWriteFault(WriteFault fault);
  size_t Pending();
  uint32_t BlockedCalls();  // reads and stalled writes waiting right now
  uint32_t CameraExposure();
  uint32_t CameraGain();

 private:
  bool OpenBy(uint64_t handle) const { return !retired_ && handle != 0 && open_handle_ == handle; }
  void QueueLocked(std::string_view bytes);

  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t open_handle_ = 0;
  bool retired_ = false;
  SerialCodes codes_;
  SerialLine camera_line_;
  SerialCamera camera_;
  std::deque<char> pending_;
  std::deque<SerialWrite> written_;
  size_t written_bytes_ = 0;
  WriteFault write_fault_ = WriteFault::kNone;
  uint32_t blocked_ = 0;
};

}  // namespace bfsim::model
