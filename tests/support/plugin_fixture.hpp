// A loaded plug-in on a freshly reset simulator, with the host's books
// checked when the test ends: every allocation returned, every thread gone.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bfsim_control.hpp"
#include "platform/build_profile.hpp"
#include "plugin/result_codes.hpp"
#include "support/loaded_plugin.hpp"
#include "support/threads.hpp"
#include "tarvel_host.hpp"

namespace grabline::testing {

inline std::string CameraFile(const std::string &name) {
  return std::string(GRABLINE_SOURCE_DIR) + "/cameras/" + name;
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bfsim::Reset();
    tarvel::ClearLogs();
    tarvel::ClearInjections();
    tarvel::SetLowError(false);
    tarvel::SetSpying(false);
    tarvel::SetTraceMemory(false);
    plugin_ = LoadPlugin();
    ASSERT_NE(plugin_, nullptr);
    allocations_ = tarvel::OutstandingAllocations();
    threads_ = ProcessThreads();
  }

  void TearDown() override {
    for (auto &instance : instances_) {
      if (instance) {
        EXPECT_EQ(instance->Close(), kOk);
      }
    }
    instances_.clear();
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_) << "host allocations leaked";
    EXPECT_TRUE(ThreadsBackTo(threads_)) << "threads left running";
  }

  tarvel::Plugin::OpenParams Params(const std::string &camera = "default") {
    tarvel::Plugin::OpenParams params = plugin_->Defaults();
    params.camera_type = camera == "default" ? camera : CameraFile(camera);
    return params;
  }

  // Opens and keeps the instance for TearDown; null on failure.
  tarvel::Instance *Open(const tarvel::Plugin::OpenParams &params, Terr *result = nullptr) {
    Terr code = 0;
    auto instance = plugin_->Open(params, &code);
    if (result != nullptr) *result = code;
    if (!instance) return nullptr;
    instances_.push_back(std::move(instance));
    return instances_.back().get();
  }

  tarvel::Instance *OpenOk(const std::string &camera = "default") {
    Terr code = 0;
    tarvel::Instance *instance = Open(Params(camera), &code);
    EXPECT_EQ(code, kOk);
    EXPECT_NE(instance, nullptr);
    return instance;
  }

  // The gray camera on the board of another device name.
  tarvel::Instance *OpenOn(const std::string &device, const std::string &camera = "gray8.cam") {
    auto params = Params(camera);
    params.device = device;
    Terr code = 0;
    tarvel::Instance *instance = Open(params, &code);
    EXPECT_EQ(code, kOk) << device << " " << camera;
    return instance;
  }

  // Closes one instance the test opened.
  Terr Close(tarvel::Instance *instance) {
    for (auto &kept : instances_) {
      if (kept.get() == instance) {
        const Terr result = kept->Close();
        kept.reset();
        return result;
      }
    }
    return -1;
  }

  std::unique_ptr<tarvel::Plugin> plugin_;
  std::vector<std::unique_ptr<tarvel::Instance>> instances_;
  size_t allocations_ = 0;
  int threads_ = 0;
};

// Grabs one frame on the manual clock: the grab runs on another thread, the
// frame is delivered once the snap is armed. Returns the grab's result.
inline Terr GrabDelivered(tarvel::Instance *instance, std::vector<tarvel::Image> *images,
                          uint32_t board = 0) {
  Terr result = 0;
  std::thread grab([&] { result = instance->Grab(images); });
  if (bfsim::WaitArmed(board, 5000)) bfsim::DeliverFrames(board, 1);
  grab.join();
  return result;
}

}  // namespace grabline::testing
