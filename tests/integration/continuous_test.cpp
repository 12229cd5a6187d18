// Continuous grabbing: the worker, the ring's accounting, the overwrite
// methods.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/call_log.hpp"
#include "support/eventually.hpp"
#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::Eventually;
using testing::PluginTest;
using testing::ProcessThreads;

class ThreadedContinuous : public PluginTest {
 protected:
  tarvel::Instance *OpenRing(uint32_t buffers, uint32_t margin = 1, const char *method = "abort") {
    instance_ = OpenOk("gray8.cam");
    if (instance_ == nullptr) return nullptr;
    bfsim::SetManualClock(0, true);
    EXPECT_EQ(instance_->SetParam("num_buffers", Value::Int(buffers)), kOk);
    EXPECT_EQ(instance_->SetParam("ring_buffer_stop_margin", Value::Int(margin)), kOk);
    EXPECT_EQ(instance_->SetParam("overwrite_method", Value::Str(method)), kOk);
    threads_before_enable_ = ProcessThreads();
    EXPECT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
    // The worker starts the acquisition on its own thread.
    EXPECT_TRUE(bfsim::WaitArmed(0, 5000));
    return instance_;
  }
  int64_t Get(const char *name) {
    std::vector<Value> values;
    const Terr result = instance_->GetParam(name, &values);
    return result == kOk && !values.empty() ? values[0].i : -1;
  }
  // Frames are produced at once; the worker takes them in its own time.
  void Produce(uint32_t frames) {
    const int64_t before = Get("next_buffer_acquired_abs");
    ASSERT_EQ(bfsim::DeliverFrames(0, frames), frames);
    ASSERT_TRUE(Eventually([&] { return Get("next_buffer_acquired_abs") >= before + frames; }));
  }
  uint64_t FrameOf(const tarvel::Image &image) {
    // Frame numbers up to 255 read back from the first pixel's pattern.
    const uint64_t first = static_cast<uint64_t>(image.at(0, 0));
    for (uint64_t f = 0; f < 256; ++f) {
      if (bfsim::PatternValue(f, 0, 0, 0, 8) == first) return f;
    }
    return 999;
  }
  // The worker has ended: the threads are those from before it started (the
  // event threads of the open already run, so no sanitizer thread comes new).
  void WorkerGone() {
    ASSERT_TRUE(Eventually([&] { return ProcessThreads() <= threads_before_enable_; }));
  }
  tarvel::Instance *instance_ = nullptr;
  int threads_before_enable_ = 0;
};

TEST_F(ThreadedContinuous, FreeBuffersAfterEnablingEqualTheRing) {
  ASSERT_NE(OpenRing(6), nullptr);
  EXPECT_EQ(Get("num_free_buffers"), 6);
  std::vector<Value> words;
  ASSERT_EQ(instance_->GetParam("continuous_grabbing", &words), kOk);
  EXPECT_EQ(words.at(0).s, "enable");
  EXPECT_EQ(instance_->SetParam("num_buffers", Value::Int(4)), FG_ERR_BOARD);
  EXPECT_EQ(instance_->SetParam("ring_buffer_stop_margin", Value::Int(2)), FG_ERR_BOARD);
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  std::vector<Value> none;
  EXPECT_EQ(instance_->GetParam("num_free_buffers", &none), FG_ERR_GET_FAILED);
}

TEST_F(ThreadedContinuous, EveryFrameArrivesOnceAndInOrder) {
  ASSERT_NE(OpenRing(8), nullptr);
  uint64_t next = 0;
  for (int round = 0; round < 1000; ++round) {
    const uint32_t waiting = 1 + round % 3;  // up to three frames wait at once
    Produce(waiting);
    for (uint32_t k = 0; k < waiting; ++k, ++next) {
      std::vector<tarvel::Image> images;
      ASSERT_EQ(instance_->Grab(&images), kOk) << "frame " << next;
      ASSERT_EQ(FrameOf(images.at(0)), next % 256) << "frame " << next;
    }
  }
  EXPECT_EQ(Get("num_buffers_overwritten"), 0);
  EXPECT_EQ(Get("next_buffer_returned_abs"), static_cast<int64_t>(next));
}

TEST_F(ThreadedContinuous, DisablingAfterManyFramesTakesFewSignalWaits) {
  ASSERT_NE(OpenRing(4, 1, "ignore"), nullptr);
  Produce(5000);
  bfsim::RecordCalls(true);
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  bfsim::RecordCalls(false);
  int polls = 0;  // zero time-out waits: the event threads wait without one
  for (const bfsim::Call &call : bfsim::TakeCalls()) {
    polls += call.function == "CiSignalWait" && !call.args.empty() && call.args[0] == 0;
  }
  EXPECT_LE(polls, 2);
  // The snap after it sees a fresh frame, not one left from the run.
  std::thread camera([] {
    if (bfsim::WaitArmed(0, 5000)) bfsim::DeliverFrames(0, 1);
  });
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance_->Grab(&images), kOk);
  camera.join();
  EXPECT_EQ(FrameOf(images.at(0)), 5000u % 256);
}

// The per-frame path asks the host for nothing but the images a grab hands
// out, and the board for a fixed handful of calls.
// Disabling wakes the worker from its wait, and the board is re-armed only
// after the worker's last call.
TEST_F(ThreadedContinuous, DisablingCancelsTheWaitAndRearmsAfterTheWorkerIsGone) {
  using testing::FirstOf;
  bfsim::RecordCalls(true);
  ASSERT_NE(OpenRing(4), nullptr);
  const std::string signal = testing::AcquisitionSignal(bfsim::Calls());
  const std::optional<bfsim::Call> wait =
      bfsim::WaitForCall({.function = testing::kWorkerWait, .record = signal}, 5000);
  ASSERT_TRUE(wait.has_value());
  const uint64_t before = bfsim::TotalCallCount();
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  const std::vector<bfsim::Call> log = bfsim::TakeCalls();
  const uint32_t self = bfsim::ThisThreadId();
  const uint64_t cancel = FirstOf(log, testing::Named("CiSignalCancel", signal));
  EXPECT_GT(cancel, before);
  const auto woken = std::find_if(log.begin(), log.end(), [&](const bfsim::Call &c) {
    return c.sequence == wait->sequence;
  });
  ASSERT_NE(woken, log.end());
  EXPECT_TRUE(woken->returned);
  EXPECT_EQ(woken->result, uint32_t{BF_WAIT_CANCEL});
  const uint64_t worker_last = testing::LastOf(log, testing::OnThread(wait->thread));
  EXPECT_GT(worker_last, cancel);
  // After the worker: the grab signal's queue cleared and the board re-armed,
  // by the disabling thread.
  const uint64_t rearm = FirstOf(log, [&](const bfsim::Call &c) {
    return c.thread == self && c.sequence > cancel && c.function == "CiSignalQueueClear";
  });
  EXPECT_GT(rearm, worker_last);
  EXPECT_NE(rearm, UINT64_MAX);
}

TEST_F(ThreadedContinuous, AFrameCostsNoAllocationAndAFixedNumberOfBoardCalls) {
  ASSERT_NE(OpenRing(8), nullptr);
  auto grab = [&](int frames) {
    for (int i = 0; i < frames; ++i) {
      Produce(1);
      std::vector<tarvel::Image> images;
      ASSERT_EQ(instance_->Grab(&images), kOk);
    }
  };
  grab(5);  // the first grabs may settle what stays for the run
  const uint64_t allocations = tarvel::AllocationCalls(), images = tarvel::ImageCalls();
  const uint64_t board_calls = bfsim::TotalCallCount();
  constexpr int kFrames = 200;
  grab(kFrames);
  EXPECT_EQ(tarvel::AllocationCalls() - allocations, 0u);
  EXPECT_EQ(tarvel::ImageCalls() - images, uint64_t{kFrames});  // one gray image a grab
  // Today seven: the worker's wait and encoder read, the event threads'
  // waits and board checks. Inquiries or settings per frame would show here.
  EXPECT_LE(bfsim::TotalCallCount() - board_calls, 8u * kFrames);
  EXPECT_TRUE(tarvel::PrintedMessages().empty());
}

TEST_F(ThreadedContinuous, AbortStopsTheWorkerAtTheFifthFrameOfFour) {
  tarvel::SetLowError(true);
  ASSERT_NE(OpenRing(4), nullptr);
  Produce(4);
  EXPECT_EQ(Get("num_free_buffers"), 0);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  ASSERT_TRUE(Eventually([] {
    const auto printed = tarvel::PrintedMessages();
    return std::find(printed.begin(), printed.end(),
                     "Acquiring thread caught up with processing thread, aborting") !=
           printed.end();
  }));
  WorkerGone();
  tarvel::ClearLogs();
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance_->Grab(&images), FG_ERR_GRAB);
  EXPECT_EQ(tarvel::PrintedMessages(), std::vector<std::string>{"CGRunning or CGOBMAbort."});
}

TEST_F(ThreadedContinuous, MarginTwoStopsOneFrameEarlier) {
  tarvel::SetLowError(true);
  ASSERT_NE(OpenRing(4, 2), nullptr);
  Produce(3);
  ASSERT_EQ(bfsim::DeliverFrames(0, 1), 1u);
  WorkerGone();
  EXPECT_EQ(Get("next_buffer_acquired_abs"), 3);
}

TEST_F(ThreadedContinuous, IgnoreKeepsTheNewestAndCountsTheDropped) {
  ASSERT_NE(OpenRing(4, 1, "ignore"), nullptr);
  Produce(10);
  EXPECT_EQ(Get("num_buffers_overwritten"), 6);
  std::vector<tarvel::Image> images;
  int delivered = 0;
  uint64_t last = 0;
  while (Get("next_buffer_returned_abs") < Get("next_buffer_acquired_abs")) {
    ASSERT_EQ(instance_->Grab(&images), kOk);
    last = FrameOf(images.at(0));
    ++delivered;
  }
  EXPECT_EQ(last, 9u);
  EXPECT_EQ(delivered + Get("num_buffers_overwritten"), 10);
}

TEST_F(ThreadedContinuous, FlushForgetsEveryWaitingFrame) {
  ASSERT_NE(OpenRing(6), nullptr);
  Produce(3);
  EXPECT_EQ(instance_->SetParam("do_flush_buffers", std::vector<Value>{}), kOk);
  EXPECT_EQ(Get("num_free_buffers"), 6);
  EXPECT_EQ(Get("next_buffer_returned"), Get("next_buffer_acquired"));
  Produce(1);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(instance_->Grab(&images), kOk);
  EXPECT_EQ(FrameOf(images.at(0)), 3u);
}

TEST_F(ThreadedContinuous, DisablingDuringAStartStopStartUpEndsTheWorker) {
  instance_ = OpenOk("startstop8.cam");
  ASSERT_NE(instance_, nullptr);
  bfsim::SetManualClock(0, true);
  bfsim::SetTriggerInput(0, true);  // the worker waits for the input to fall
  ASSERT_EQ(instance_->SetParam("debug_output", Value::Str("true")), kOk);
  threads_before_enable_ = ProcessThreads();
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  WorkerGone();
  if constexpr (kProfile.sdk_debug_output) {
    const auto sent = bfsim::DebugOutput();
    EXPECT_NE(
        std::find(sent.begin(), sent.end(), "CG thread aborted during startup, exiting thread\n"),
        sent.end());
  }
}

// Start/stop frames vary in length: each grab gets its own frame's lines, in
// order, and the run ends without a word from the worker.
TEST_F(ThreadedContinuous, StartStopFramesArriveInOrderWithTheirLineCounts) {
  tarvel::SetLowError(true);
  instance_ = OpenOk("startstop8.cam");
  ASSERT_NE(instance_, nullptr);
  bfsim::SetManualClock(0, true);
  ASSERT_EQ(instance_->SetParam("num_buffers", Value::Int(3)), kOk);
  threads_before_enable_ = ProcessThreads();
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  ASSERT_TRUE(bfsim::WaitArmed(0, 5000));
  // The camera's frames have 48, 17, 1 and 30 lines; a one-line frame is
  // handed out three lines high.
  const int32_t heights[] = {48, 17, 3, 30, 48, 17, 3};
  for (uint64_t f = 0; f < std::size(heights); ++f) {
    Produce(1);
    std::vector<tarvel::Image> images;
    ASSERT_EQ(instance_->Grab(&images), kOk) << "frame " << f;
    EXPECT_EQ(images.at(0).height(), heights[f]) << "frame " << f;
    EXPECT_EQ(FrameOf(images.at(0)), f);
  }
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  WorkerGone();
  EXPECT_EQ(tarvel::PrintedMessages(), std::vector<std::string>{});
  ASSERT_EQ(Close(instance_), kOk);
  EXPECT_EQ(bfsim::LiveQTabs(0), 0u);
  EXPECT_EQ(bfsim::LiveSignals(0), 0u);
}

TEST_F(ThreadedContinuous, CloseStopsAWaitingWorker) {
  ASSERT_NE(OpenRing(4), nullptr);
  Produce(2);
  ASSERT_EQ(Close(instance_), kOk);
}

TEST_F(ThreadedContinuous, SoftwareTimestampsLandInTheFrame) {
  ASSERT_NE(OpenRing(4), nullptr);
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("disable")), kOk);
  tarvel::SetLowError(true);
  const Terr result = instance_->SetParam("software_timestamp", Value::Str("true"));
  if constexpr (!kProfile.has_software_timestamps) {
    EXPECT_EQ(result, FG_ERR_OPERATION_FAILED);
    EXPECT_EQ(tarvel::PrintedMessages(),
              std::vector<std::string>{
                  "Software time stamp is not supported for this version of the BitFlow SDK."});
    return;
  }
  ASSERT_EQ(result, kOk);
  ASSERT_EQ(instance_->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
  ASSERT_TRUE(bfsim::WaitArmed(0, 5000));
  Produce(1);
  std::vector<tarvel::Image> images;
  ASSERT_EQ(instance_->Grab(&images), kOk);
  const tarvel::Image &image = images.at(0);
  const int32_t w = image.width(), h = image.height();
  auto word = [&](int32_t line) {
    uint32_t value = 0;
    for (int b = 0; b < 4; ++b) {
      value |= static_cast<uint32_t>(image.at(w - 4 + b, line)) << (8 * b);
    }
    return value;
  };
  EXPECT_EQ(word(0), 0x01234567u);
  EXPECT_EQ(word(1), 0u);  // the count of frames acquired before this one
  EXPECT_EQ(word(h - 1), 0x89ABCDEFu);
}

}  // namespace
}  // namespace grabline
