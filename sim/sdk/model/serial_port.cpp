// A board's serial port and the line to its camera.
#include "model/serial_port.hpp"

#include <algorithm>
#include <chrono>

#include "model/signal.hpp"

namespace bfsim::model {
namespace {

constexpr uint32_t kBauds[] = {9600, 19200, 38400, 57600, 115200, 230400};
constexpr char kParities[] = {'E', 'O', 'N'};
constexpr uint32_t kStopBits[] = {1, 15, 2};

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(uint32_t timeout_ms) {
  return Clock::now() + std::chrono::milliseconds(timeout_ms);
}

}  // namespace

std::optional<SerialLine> DecodeLine(const SerialCodes &codes) {
  SerialLine line;
  bool baud_known = false;
  for (size_t i = 0; i < std::size(kBauds); ++i) {
    if (codes.baud == (1u << i)) {
      line.baud = kBauds[i];
      baud_known = true;
    }
  }
  if (!baud_known || codes.data_bits > 3 || codes.parity > 2 || codes.stop_bits > 2) {
    return std::nullopt;
  }
  line.data_bits = 5 + codes.data_bits;
  line.parity = kParities[codes.parity];
  line.stop_bits = kStopBits[codes.stop_bits];
  return line;
}

bool SerialPort::Open(uint64_t handle) {
  std::lock_guard lock(mutex_);
  if (retired_ || open_handle_ != 0 || handle == 0) return false;
  open_handle_ = handle;
  return true;
}

bool SerialPort::Close(uint64_t handle) {
  {
    std::lock_guard lock(mutex_);
    if (!OpenBy(handle)) return false;
    open_handle_ = 0;
  }
  changed_.notify_all();  // a read blocked on the handle ends
  return true;
}

bool SerialPort::IsOpen() {
  std::lock_guard lock(mutex_);
  return !retired_ && open_handle_ != 0;
}

void SerialPort::Retire() {
  {
    std::lock_guard lock(mutex_);
    retired_ = true;
  }
  changed_.notify_all();
}

SerialPort::Io SerialPort::Read(uint64_t handle, char *buffer, uint32_t &size,
                                uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  if (!OpenBy(handle)) return Io::kClosed;
  const uint32_t wanted = size;
  ++blocked_;
  const bool complete = changed_.wait_until(
      lock, Deadline(timeout_ms), [&] { return !OpenBy(handle) || pending_.size() >= wanted; });
  --blocked_;
  if (!OpenBy(handle)) return Io::kClosed;
  size = static_cast<uint32_t>(std::min<size_t>(wanted, pending_.size()));
  std::copy_n(pending_.begin(), size, buffer);
  pending_.erase(pending_.begin(), pending_.begin() + size);
  return complete ? Io::kOk : Io::kTimeout;
}

SerialPort::Io SerialPort::Write(uint64_t handle, const char *buffer, uint32_t &size,
                                 uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  if (!OpenBy(handle)) return Io::kClosed;
  if (write_fault_ == WriteFault::kStall) {
    ++blocked_;
    const bool released = changed_.wait_until(lock, Deadline(timeout_ms), [&] {
      return !OpenBy(handle) || write_fault_ != WriteFault::kStall;
    });
    --blocked_;
    if (!OpenBy(handle)) return Io::kClosed;
    if (!released) {
      size = 0;
      return Io::kTimeout;
    }
  }
  if (write_fault_ == WriteFault::kFail) {
    size = 0;
    return Io::kFailed;
  }
  if (size == 0) return Io::kOk;

  written_.push_back(SerialWrite{std::string(buffer, size), FineTick()});
  written_bytes_ += size;
  while (written_bytes_ > kMaxWritten && written_.size() > 1) {
    written_bytes_ -= written_.front().bytes.size();
    written_.pop_front();
  }
  // A camera set to another line hears only noise and says nothing.
  std::optional<SerialLine> line = DecodeLine(codes_);
  if (!line || !(*line == camera_line_)) return Io::kOk;
  std::string answers;
  for (uint32_t i = 0; i < size; ++i) camera_.Receive(static_cast<uint8_t>(buffer[i]), answers);
  if (!answers.empty()) {
    QueueLocked(answers);
    lock.unlock();
    changed_.notify_all();
  }
  return Io::kOk;
}

SerialPort::Io SerialPort::Flush(uint64_t handle) {
  std::lock_guard lock(mutex_);
  if (!OpenBy(handle)) return Io::kClosed;
  pending_.clear();
  return Io::kOk;
}

void SerialPort::SetCodes(const SerialCodes &codes) {
  std::lock_guard lock(mutex_);
  codes_ = codes;
}

SerialCodes SerialPort::Codes() {
  std::lock_guard lock(mutex_);
  return codes_;
}

void SerialPort::QueueLocked(std::string_view bytes) {
  const size_t room = kMaxPending - std::min(kMaxPending, pending_.size());
  bytes = bytes.substr(0, room);
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

void SerialPort::Queue(std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    QueueLocked(bytes);
  }
  changed_.notify_all();
}

std::vector<SerialWrite> SerialPort::TakeWrites() {
  std::lock_guard lock(mutex_);
  std::vector<SerialWrite> taken(std::make_move_iterator(written_.begin()),
                                 std::make_move_iterator(written_.end()));
  written_.clear();
  written_bytes_ = 0;
  return taken;
}

void SerialPort::SetCameraLine(const SerialLine &line) {
  std::lock_guard lock(mutex_);
  camera_line_ = line;
}

SerialLine SerialPort::CameraLine() {
  std::lock_guard lock(mutex_);
  return camera_line_;
}

void SerialPort::SetWriteFault(WriteFault fault) {
  {
    std::lock_guard lock(mutex_);
    write_fault_ = fault;
  }
  changed_.notify_all();  // a stalled write goes on
}

size_t SerialPort::Pending() {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

uint32_t SerialPort::BlockedCalls() {
  std::lock_guard lock(mutex_);
  return blocked_;
}

uint32_t SerialPort::CameraExposure() {
  std::lock_guard lock(mutex_);
  return camera_.exposure_us();
}

uint32_t SerialPort::CameraGain() {
  std::lock_guard lock(mutex_);
  return camera_.gain();
}

}  // namespace bfsim::model
