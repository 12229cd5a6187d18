// What the fault sweep and the race tests share: a watchdog that turns a hang
// into a failure with a name, the set of codes the plug-in may answer, and
// frame delivery on the manual clock while an operation blocks.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bfsim_control.hpp"
#include "plugin/result_codes.hpp"
#include "support/delivering.hpp"
#include "support/threads.hpp"
#include "tarvel_host.hpp"

namespace grabline::testing {

// A hung plug-in would stall the whole run; the watchdog names what hung and
// ends the process, which CTest reports as a failure.
class Watchdog {
 public:
  Watchdog(std::string what, std::chrono::milliseconds limit)
      : what_(std::move(what)), thread_([this, limit] { Watch(limit); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog &) = delete;
  Watchdog &operator=(const Watchdog &) = delete;

 private:
  void Watch(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_for(lock, limit, [this] { return done_; })) {
      std::fprintf(stderr, "watchdog: '%s' did not end within %lld ms\n", what_.c_str(),
                   static_cast<long long>(limit.count()));
      std::fflush(stderr);
      std::abort();
    }
  }
  std::string what_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

// Codes an operation may answer: success, the plug-in's own codes, and the
// host's failure codes that guarded host calls pass on.
inline bool IsDocumentedCode(Terr code) {
  constexpr Terr kCodes[] = {
      kOk,
      FG_FAIL,
      FG_ERR_LUT_LENGTH,
      FG_ERR_SERIAL_HANDLE,
      FG_ERR_SERIAL_NOT_CL,
      FG_ERR_SERIAL_INIT,
      FG_ERR_SERIAL_SETTINGS,
      FG_ERR_SERIAL_WRITE,
      FG_ERR_SERIAL_BUFFER,
      FG_ERR_DRIVER_NOT_READY,
      FG_ERR_BITS_PER_CHANNEL,
      FG_ERR_BOARD_OPEN,
      FG_ERR_GRAB,
      FG_ERR_RESOLUTION,
      FG_ERR_IMAGE_PART,
      FG_ERR_BOARD,
      FG_ERR_COLOR_SPACE,
      FG_ERR_PORT,
      FG_ERR_CAMERA_SELECT,
      FG_ERR_DEVICE_BUSY,
      FG_ERR_UNSUPPORTED,
      FG_ERR_TIMEOUT,
      FG_ERR_PARAM_TYPE,
      FG_ERR_PARAM_VALUE,
      FG_ERR_LUT_UNSUPPORTED,
      FG_ERR_OPERATION_FAILED,
      FG_ERR_GET_FAILED,
      FG_ERR_TRIGGER_MODE,
      FG_ERR_CALLBACK_TYPE,
      FG_ERR_BUFFER_ALLOC,
      T_ERR_MEM,
      T_ERR_IMAGE,
      T_ERR_MUTEX,
  };
  for (Terr known : kCodes) {
    if (code == known) return true;
  }
  return false;
}

// True when `image` (8-bit gray) carries frame `frame` of board 0's current camera.
inline bool CarriesFrame(const tarvel::Image &image, uint64_t frame) {
  const auto camera = bfsim::CurrentCamera(0);
  if (!camera || image.kind() != BYTE_IMAGE) return false;
  const std::vector<uint8_t> expected = bfsim::ExpectedFrame(*camera, frame);
  const size_t bytes = size_t(image.width()) * size_t(image.height());
  return bytes == expected.size() && std::memcmp(image.data(), expected.data(), bytes) == 0;
}

}  // namespace grabline::testing
