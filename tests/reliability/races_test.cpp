// Races, repeated: aborts against waiting grabs, closes against running
// threads, parameters against grabs, two instances on one board. Every wait
// must end promptly with the designed result; ThreadSanitizer watches the rest.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "reliability/reliability_support.hpp"
#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using Clock = std::chrono::steady_clock;
using tarvel::Value;
using testing::Watchdog;
using testing::WhileDelivering;

constexpr int kRepeats = 25;
// An abort or a close ends a wait long before the time-out would. Both are
// far beyond what a busy machine takes, so only a wait that really sits out
// its time-out fails.
constexpr int64_t kGrabTimeoutMs = 20000;
constexpr auto kPrompt = std::chrono::milliseconds(kGrabTimeoutMs / 2);

int64_t ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

class ThreadedRaces : public testing::PluginTest {
 protected:
  tarvel::Instance *OpenManual(tarvel::Plugin::OpenParams params) {
    Terr code = 0;
    tarvel::Instance *instance = Open(params, &code);
    EXPECT_EQ(code, kOk);
    if (instance == nullptr) return nullptr;
    bfsim::SetManualClock(0, true);
    EXPECT_EQ(instance->SetParam("grab_timeout", Value::Int(kGrabTimeoutMs)), kOk);
    return instance;
  }
  tarvel::Instance *OpenManual() { return OpenManual(Params()); }

  // Waits until `extra` more threads block in an SDK wait of board 0.
  static bool Blocked(uint32_t baseline, uint32_t extra = 1) {
    for (int i = 0; i < 5000; ++i) {
      if (bfsim::BlockedWaiters(0) >= baseline + extra) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  int64_t Get(tarvel::Instance *instance, const char *name) {
    std::vector<Value> values;
    return instance->GetParam(name, &values) == kOk && !values.empty() ? values[0].i : -1;
  }
};

TEST_F(ThreadedRaces, AbortEndsAWaitingSnapPromptlyWithSuccess) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  for (int i = 0; i < kRepeats; ++i) {
    Watchdog watchdog("snap abort " + std::to_string(i), std::chrono::seconds(30));
    const uint32_t waiting = bfsim::BlockedWaiters(0);
    Terr result = 0;
    const auto start = Clock::now();
    std::thread grab([&] {
      std::vector<tarvel::Image> images;
      result = instance->Grab(&images);
    });
    ASSERT_TRUE(Blocked(waiting));
    EXPECT_EQ(instance->SetParam("do_abort_grab", std::vector<Value>{}), kOk);
    grab.join();
    EXPECT_EQ(result, kOk) << "round " << i;
    EXPECT_LT(ElapsedMs(start), kPrompt.count()) << "round " << i;
  }
  // The board is re-armed after the aborts: the next snap delivers.
  std::vector<tarvel::Image> images;
  EXPECT_EQ(WhileDelivering([&] { return instance->Grab(&images); }), kOk);
}

TEST_F(ThreadedRaces, AbortReleasesAContinuousGrabAndTimeoutsStayBounded) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(200)), kOk);
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  ASSERT_TRUE(bfsim::WaitArmed(0, 5000));
  for (int i = 0; i < kRepeats; ++i) {
    Watchdog watchdog("continuous abort " + std::to_string(i), std::chrono::seconds(30));
    // Without a frame the wait ends by its time-out, within a margin.
    std::vector<tarvel::Image> images;
    const auto start = Clock::now();
    EXPECT_EQ(instance->Grab(&images), FG_ERR_GRAB);
    EXPECT_GE(ElapsedMs(start), 200 - 5);
    EXPECT_LT(ElapsedMs(start), kPrompt.count());
    // An abort, whenever it lands, lets the grab go on at once.
    Terr result = 0;
    std::thread grab([&] {
      std::vector<tarvel::Image> taken;
      result = instance->Grab(&taken);
    });
    EXPECT_EQ(instance->SetParam("do_abort_grab", std::vector<Value>{}), kOk);
    grab.join();
    // A grab the abort missed would end by its time-out, with FG_ERR_GRAB.
    EXPECT_EQ(result, kOk) << "round " << i;
  }
  // A real frame after all that is taken in order.
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(kGrabTimeoutMs)), kOk);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), kOk);
  EXPECT_EQ(instance->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
}

TEST_F(ThreadedRaces, CloseWhileTheWorkerWaitsOrCallbacksRun) {
  for (int i = 0; i < kRepeats; ++i) {
    Watchdog watchdog("close " + std::to_string(i), std::chrono::seconds(30));
    tarvel::Instance *instance = OpenManual();
    ASSERT_NE(instance, nullptr);
    std::atomic<int> calls{0};
    // The par build has no callbacks; the close race stands without them.
    instance->SetCallback(
        "transfer_end",
        [](void *, void *, void *context) {
          static_cast<std::atomic<int> *>(context)->fetch_add(1);
        },
        &calls);
    // 'ignore' keeps the worker taking frames however many arrive.
    ASSERT_EQ(instance->SetParam("overwrite_method", Value::Str("ignore")), kOk);
    ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
    ASSERT_TRUE(bfsim::WaitArmed(0, 5000));
    // Odd rounds close with frames arriving, even rounds with the worker idle.
    std::atomic<bool> stop{false};
    std::thread frames([&] {
      // A bounded stream, paced so that the board's lock is not held without pause.
      for (int f = 0; i % 2 == 1 && f < 64 && !stop.load(); ++f) {
        if (bfsim::DeliverFrames(0, 1) == 0) break;
        std::this_thread::yield();
      }
    });
    const auto start = Clock::now();
    EXPECT_EQ(Close(instance), kOk);
    EXPECT_LT(ElapsedMs(start), kPrompt.count());
    stop.store(true);
    frames.join();
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
    EXPECT_TRUE(testing::ThreadsBackTo(threads_ + 1));  // the watchdog still runs
  }
}

TEST_F(ThreadedRaces, ParametersChangeWhileAnotherThreadGrabs) {
  tarvel::Instance *instance = OpenManual();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(instance->SetParam("num_buffers", Value::Int(8)), kOk);
  ASSERT_EQ(instance->SetParam("overwrite_method", Value::Str("ignore")), kOk);
  ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  ASSERT_TRUE(bfsim::WaitArmed(0, 5000));
  constexpr int kFrames = 300;
  std::atomic<bool> done{false};
  std::thread changer([&] {
    for (int n = 0; !done.load(); ++n) {
      std::vector<Value> values;
      EXPECT_EQ(instance->SetParam("grab_timeout", Value::Int(kGrabTimeoutMs + n % 2)), kOk);
      EXPECT_EQ(instance->GetParam("num_free_buffers", &values), kOk);
      EXPECT_EQ(instance->GetParam("next_buffer_returned_abs", &values), kOk);
      EXPECT_EQ(instance->SetParam("out:2", Value::Str(n % 2 ? "high" : "low")), kOk);
      EXPECT_EQ(instance->SetParam("num_buffers", Value::Int(4)), FG_ERR_BOARD);
    }
  });
  uint64_t last = 0;
  for (int f = 0; f < kFrames; ++f) {
    Watchdog watchdog("grab " + std::to_string(f), std::chrono::seconds(30));
    ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
    std::vector<tarvel::Image> images;
    ASSERT_EQ(instance->Grab(&images), kOk) << "frame " << f;
    // Under 'ignore' no frame is overwritten when the grab keeps pace.
    const uint64_t pixel = static_cast<uint64_t>(images.at(0).at(0, 0));
    EXPECT_EQ(pixel, bfsim::PatternValue(last, 0, 0, 0, 8)) << "frame " << f;
    ++last;
  }
  done.store(true);
  changer.join();
  EXPECT_EQ(Get(instance, "num_buffers_overwritten"), 0);
  EXPECT_EQ(instance->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
}

// Two instances on one board under two names share the board's record and
// ring: every grab of either delivers a whole frame of the camera, and each
// instance sees its frames in order (both may see the same frame: they share
// the camera).
TEST_F(ThreadedRaces, TwoInstancesOnOneBoardGrabAlternately) {
  tarvel::Instance *first = OpenManual();
  ASSERT_NE(first, nullptr);
  tarvel::Plugin::OpenParams other = Params();
  other.device = "Switch:0,Connector:0";  // the same board by another name
  tarvel::Instance *second = OpenManual(other);
  ASSERT_NE(second, nullptr);
  std::mutex mutex;
  std::condition_variable turn_changed;
  int turn = 0;
  constexpr int kRounds = 40;
  int grabs = 0;
  auto grabber = [&](tarvel::Instance *instance, int me) {
    int64_t last = -1;
    for (int round = 0; round < kRounds; ++round) {
      std::unique_lock lock(mutex);
      turn_changed.wait(lock, [&] { return turn == me; });
      std::vector<tarvel::Image> images;
      EXPECT_EQ(WhileDelivering([&] { return instance->Grab(&images); }), kOk);
      // Pixel (0, 0) is 13 f mod 256; 197 is 13's inverse mod 256, and the
      // run stays below 256 frames.
      const int64_t frame = images.empty() ? -1 : (197 * images[0].at(0, 0)) % 256;
      EXPECT_TRUE(frame >= 0 && testing::CarriesFrame(images[0], uint64_t(frame)))
          << "instance " << me << " round " << round;
      EXPECT_GT(frame, last) << "instance " << me << " round " << round;
      EXPECT_LT(uint64_t(frame), bfsim::FramesProduced(0));
      last = frame;
      ++grabs;
      turn = 1 - me;
      turn_changed.notify_all();
    }
  };
  Watchdog watchdog("two instances", std::chrono::seconds(120));
  std::thread a(grabber, first, 0);
  std::thread b(grabber, second, 1);
  a.join();
  b.join();
  EXPECT_EQ(grabs, 2 * kRounds);
  ASSERT_LT(bfsim::FramesProduced(0), 256u);
}

}  // namespace
}  // namespace grabline
