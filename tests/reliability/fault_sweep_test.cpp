// Fault sweep: every SDK call, host allocation, image creation and mutex call
// that open, the grab modes, the board-touching parameters and close reach is
// made to fail in turn. Whatever fails, the plug-in must answer a code it
// documents, must not crash or hang, must give back every allocation and
// thread at close, and the board must open and deliver a correct frame again.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/build_profile.hpp"
#include "reliability/reliability_support.hpp"
#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::CarriesFrame;
using testing::IsDocumentedCode;
using testing::ProcessThreads;
using testing::ThreadsBackTo;
using testing::Watchdog;
using testing::WhileDelivering;

// Short enough that an acquisition a fault broke ends quickly, long enough for
// the sanitizer builds to deliver a frame that was asked for.
constexpr int64_t kGrabTimeoutMs = 400;
constexpr auto kPointLimit = std::chrono::seconds(60);

struct FaultKind {
  const char *name;
  uint64_t (*count)();
  void (*arm)(uint32_t nth);
};

const FaultKind kKinds[] = {
    {"sdk", &bfsim::TotalCallCount, [](uint32_t nth) { bfsim::FailAnyCall(nth, BF_ERR_BAD_ARG); }},
    {"allocation", &tarvel::AllocationCalls, &tarvel::FailAllocation},
    {"image", &tarvel::ImageCalls, &tarvel::FailImageCreation},
    {"mutex", &tarvel::MutexCalls, &tarvel::FailMutexCall},
};

// One run of a scenario: what it opened and every code it was answered.
struct ScenarioRun {
  tarvel::Plugin *plugin = nullptr;
  tarvel::Plugin::OpenParams params;
  std::unique_ptr<tarvel::Instance> instance;
  std::vector<Terr> codes;
  uint64_t frames_seen = 1;  // frame 0 proved the open
  bool closed = false;

  // Notes a code; false when the run cannot sensibly go on: a failed host
  // mutex call may leave the instance's mutex held by a thread that is gone.
  bool Note(Terr code) {
    codes.push_back(code);
    return code != T_ERR_MUTEX;
  }
  std::vector<Value> Get(const char *name) {
    std::vector<Value> values;
    Note(instance->GetParam(name, &values));
    return values;
  }
  // A successful grab must carry a frame the board produced after the last one seen.
  void Delivered(Terr code, const std::vector<tarvel::Image> &images) {
    if (code != kOk) return;
    ASSERT_FALSE(images.empty());
    const uint64_t produced = bfsim::FramesProduced(0);
    bool found = false;
    for (uint64_t f = frames_seen; f < produced && !found; ++f) {
      if (CarriesFrame(images[0], f)) {
        frames_seen = f + 1;
        found = true;
      }
    }
    EXPECT_TRUE(found) << "a grab reported success with an image of no new frame";
  }
};

Terr Snap(ScenarioRun &run) {
  std::vector<tarvel::Image> images;
  const Terr code = WhileDelivering([&] { return run.instance->Grab(&images); });
  run.Delivered(code, images);
  return code;
}

struct Scenario {
  const char *name;
  bool opens = false;   // the swept part is the open itself
  bool closes = false;  // the swept part is the close itself
  std::function<void(ScenarioRun &)> act;
};

// Test listings show the scenario's name rather than its bytes.
void PrintTo(const Scenario &scenario, std::ostream *out) { *out << scenario.name; }

// Enables continuous grabbing, lets the worker take three frames, grabs two
// and disables it with one still in the ring.
void Continuous(ScenarioRun &run, const char *method) {
  // Fewer frames than buffers: a board that outruns an 'ignore' ring
  // overwrites the very buffer being read, by design, not by fault.
  if (run.instance->SetParam("num_buffers", Value::Int(4)) != kOk) return;
  if (!run.Note(run.instance->SetParam("overwrite_method", Value::Str(method)))) return;
  const int before = ProcessThreads();
  if (!run.Note(run.instance->SetParam("continuous_grabbing", Value::Str("enable")))) return;
  // The worker arms the board on its own thread, unless a fault ended it.
  while (!bfsim::WaitArmed(0, 5) && ProcessThreads() > before) {
  }
  bfsim::DeliverFrames(0, 3);
  for (int i = 0; i < 2; ++i) {
    std::vector<tarvel::Image> images;
    const Terr code = run.instance->Grab(&images);
    run.Delivered(code, images);
    if (!run.Note(code)) return;
  }
  run.Note(run.instance->SetParam("continuous_grabbing", Value::Str("disable")));
}

// Sets up one region the size of the camera, grabs twice in the mode and
// leaves it again, so the region rings are built, used and freed.
void QuickSwitch(ScenarioRun &run) {
  const auto camera = bfsim::CurrentCamera(0);
  ASSERT_TRUE(camera.has_value());
  const std::string roi =
      "roi 0:width " + std::to_string(camera->width) + ":height " + std::to_string(camera->height);
  if (!run.Note(run.instance->SetParam("volatile", Value::Str("enable")))) return;
  // A frame a fault stopped is waited for this long, not the camera's time-out.
  if (!run.Note(run.instance->SetParam("grab_timeout", Value::Int(100)))) return;
  if (!run.Note(run.instance->SetParam("quick_switch_num_rois", Value::Int(1)))) return;
  if (!run.Note(run.instance->SetParam("quick_switch_set_roi", Value::Str(roi)))) return;
  if (!run.Note(run.instance->SetParam("quick_switch_mode", Value::Str("enable")))) return;
  for (int i = 0; i < 2; ++i) {
    std::vector<tarvel::Image> images;
    const Terr code = run.instance->Grab(&images);
    // The standard build keeps the mode as a flag: its grabs bring no image.
    if (code == kOk && kProfile.has_quick_switch) {
      EXPECT_EQ(images.size(), 1u);
    }
    if (!run.Note(code)) return;
  }
  run.Note(run.instance->SetParam("quick_switch_mode", Value::Str("disable")));
}

std::function<void(ScenarioRun &)> Set(const char *name, Value value) {
  return [name, value](ScenarioRun &run) { run.Note(run.instance->SetParam(name, value)); };
}

// The table the sweep runs; a feature adds its scenario with a line here.
std::vector<Scenario> Scenarios() {
  return {
      {"Open", true, false,
       [](ScenarioRun &run) {
         Terr code = 0;
         run.instance = run.plugin->Open(run.params, &code);
         run.Note(code);
         if (code == kOk) {
           bfsim::SetManualClock(0, true);
           run.Note(run.instance->SetParam("grab_timeout", Value::Int(kGrabTimeoutMs)));
         }
       }},
      {"Snap", false, false, [](ScenarioRun &run) { run.Note(Snap(run)); }},
      {"SnapTwice", false, false,
       [](ScenarioRun &run) {
         if (run.Note(Snap(run))) run.Note(Snap(run));
       }},
      {"Async", false, false,
       [](ScenarioRun &run) {
         std::vector<tarvel::Image> images;
         const Terr code = WhileDelivering([&] {
           const Terr started = run.instance->GrabStart(1e9);
           if (!run.Note(started)) return started;
           return run.instance->GrabAsync(1e9, &images);
         });
         run.Delivered(code, images);
         run.Note(code);
       }},
      {"QuickSwitch", false, false, QuickSwitch},
      {"ContinuousAbort", false, false, [](ScenarioRun &run) { Continuous(run, "abort"); }},
      {"ContinuousIgnore", false, false, [](ScenarioRun &run) { Continuous(run, "ignore"); }},
      {"NumBuffers", false, false, Set("num_buffers", Value::Int(5))},
      {"Volatile", false, false,
       [](ScenarioRun &run) {
         if (run.Note(run.instance->SetParam("volatile", Value::Str("enable")))) {
           run.Note(Snap(run));
         }
       }},
      {"DmaDirection", false, false, Set("dma_direction", Value::Str("Bottom-Up"))},
      {"ImageWidth", false, false, Set("image_width", Value::Int(32))},
      {"Lut", false, false, Set("lut", Value::Str("enable"))},
      {"Output", false, false, Set("out:2", Value::Str("high"))},
      {"CameraControl", false, false, Set("cc:0", Value::Int(3))},
      {"OverflowThread", false, false, Set("overflow_thread", Value::Str("enable"))},
      {"AbortGrab", false, false, Set("do_abort_grab", Value::Int(0))},
      {"Serial", false, false,
       [](ScenarioRun &run) {
         if (run.Note(run.instance->SetParam("do_comm_open", Value::Int(0)))) {
           run.Note(run.instance->SetParam("do_comm_write", Value::Str("ID?\r")));
         }
       }},
      {"ReadBack", false, false,
       [](ScenarioRun &run) {
         for (const char *name : {"gport", "end_of_exposure", "last_lines_to_go", "lut",
                                  "do_reset_abs_buffer_index"}) {
           run.Get(name);
         }
       }},
      {"Close", false, true,
       [](ScenarioRun &run) {
         run.Note(run.instance->Close());
         run.closed = true;
       }},
  };
}

class ThreadedFaultSweep : public testing::PluginTest,
                           public ::testing::WithParamInterface<Scenario> {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    mutexes_ = tarvel::OutstandingMutexes();
  }

  tarvel::Plugin::OpenParams OpenParams() { return Params(); }

  // Opens the default board and proves it with a grab of a correct frame.
  std::unique_ptr<tarvel::Instance> OpenProven() {
    Terr code = 0;
    auto instance = plugin_->Open(OpenParams(), &code);
    EXPECT_EQ(code, kOk);
    if (!instance) return nullptr;
    bfsim::SetManualClock(0, true);
    EXPECT_EQ(instance->SetParam("grab_timeout", Value::Int(kGrabTimeoutMs)), kOk);
    std::vector<tarvel::Image> images;
    EXPECT_EQ(WhileDelivering([&] { return instance->Grab(&images); }), kOk);
    EXPECT_TRUE(!images.empty() && CarriesFrame(images[0], 0)) << "reopened board, frame 0";
    return instance;
  }

  // Runs the scenario once with the kth point of `kind` failing (0: none);
  // returns how many points of that kind the run reached.
  uint64_t RunOnce(const Scenario &scenario, const FaultKind &kind, uint32_t k) {
    const std::string point =
        std::string(scenario.name) + " " + kind.name + " point " + std::to_string(k);
    SCOPED_TRACE(point);
    ScenarioRun run;
    run.plugin = plugin_.get();
    run.params = OpenParams();
    if (!scenario.opens) {
      run.instance = OpenProven();
      if (!run.instance) return 0;
    }
    const uint64_t before = kind.count();
    bfsim::RecordCalls(true);
    if (k != 0) kind.arm(k);
    {
      Watchdog watchdog(point, kPointLimit);
      scenario.act(run);
    }
    const uint64_t reached = kind.count() - before;
    bfsim::ClearFaults();
    tarvel::ClearInjections();
    bfsim::RecordCalls(false);
    // A release the SDK refused leaves its object with the SDK: nothing the
    // plug-in could give back. The simulator is then started afresh.
    bool release_refused = false;
    for (const bfsim::Call &call : bfsim::TakeCalls()) {
      const std::string &f = call.function;
      release_refused |=
          call.result == BF_ERR_BAD_ARG && (f == "CiRelQTabFree" || f == "CiPhysQTabFree" ||
                                            f == "CiBrdClose" || f == "CiSignalFree");
    }

    bool mutex_refused = false;
    for (Terr code : run.codes) {
      EXPECT_TRUE(IsDocumentedCode(code)) << "undocumented code " << code;
      if (k == 0) {
        EXPECT_EQ(code, kOk) << "the clean run failed";
      }
      mutex_refused |= code == T_ERR_MUTEX;
    }
    if (run.instance && !run.closed) {
      Terr closed = 0;
      {
        Watchdog watchdog(point + " close", kPointLimit);
        closed = run.instance->Close();
      }
      // Only a mutex the fault left held may make the destroy at close fail.
      if (mutex_refused) {
        EXPECT_TRUE(closed == kOk || closed == T_ERR_MUTEX) << closed;
      } else {
        EXPECT_EQ(closed, kOk);
      }
      mutex_refused |= closed == T_ERR_MUTEX;
    }
    run.instance.reset();
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_) << "host allocations leaked";
    EXPECT_EQ(tarvel::OutstandingImages(), 0u);
    EXPECT_TRUE(ThreadsBackTo(threads_)) << "threads left running";
    // A host mutex whose unlock or destroy the host refused stays on its books
    // by the host's doing; it must not be the plug-in's.
    if (mutex_refused) {
      mutexes_ = tarvel::OutstandingMutexes();
    } else {
      // The next open destroys a mutex left by a refused destroy: fewer is fine.
      EXPECT_LE(tarvel::OutstandingMutexes(), mutexes_) << "host mutexes leaked";
      mutexes_ = tarvel::OutstandingMutexes();
    }
    if (release_refused) {
      bfsim::Reset();
    } else {
      EXPECT_EQ(bfsim::LiveQTabs(0), 0u) << "QTabs leaked";
      EXPECT_EQ(bfsim::LiveSignals(0), 0u) << "signals leaked";
      EXPECT_FALSE(bfsim::Boards().at(0).open) << "board left open";
    }
    return reached;
  }

  size_t mutexes_ = 0;
};

TEST_P(ThreadedFaultSweep, EveryFailurePointEndsCleanly) {
  const Scenario &scenario = GetParam();
  uint64_t swept = 0;
  std::string summary;
  for (const FaultKind &kind : kKinds) {
    const uint64_t points = RunOnce(scenario, kind, 0);
    if (HasFailure()) return;
    for (uint64_t k = 1; k <= points; ++k) {
      RunOnce(scenario, kind, static_cast<uint32_t>(k));
      if (HasFailure()) return;  // the first broken point tells the story
    }
    swept += points;
    summary += std::string(" ") + kind.name + " " + std::to_string(points);
  }
  // The board opens and delivers once more after the whole sweep.
  auto instance = OpenProven();
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->Close(), kOk);
  std::printf("[ sweep    ] %s: %llu failure points (%s)\n", scenario.name,
              static_cast<unsigned long long>(swept), summary.c_str() + 1);
  RecordProperty("failure_points", static_cast<int>(swept));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ThreadedFaultSweep, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario> &info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace grabline

namespace grabline {
namespace {

// Exact codes at a few points whose answer the design names.
class FaultPoints : public testing::PluginTest {};

TEST_F(FaultPoints, OpenAnswersTheCodeOfTheStepThatFailed) {
  struct Case {
    const char *function;
    Terr expected;
  };
  const Case cases[] = {
      {"BFDrvReady", FG_ERR_DRIVER_NOT_READY},
      {"CiSysBrdFind", FG_ERR_BOARD_OPEN},
      {"CiBrdOpen", FG_ERR_BOARD},
      {"CiBrdInquire", FG_ERR_BOARD},
      {"CiConVTrigModeGet", FG_ERR_BOARD},
      {"CiLutSetMask", FG_ERR_BOARD},
      {"CiSignalCreate", FG_ERR_BOARD},
  };
  for (const Case &c : cases) {
    bfsim::FailCall(c.function, 1, BF_ERR_BAD_ARG);
    Terr code = 0;
    EXPECT_EQ(Open(Params(), &code), nullptr) << c.function;
    EXPECT_EQ(code, c.expected) << c.function;
    bfsim::ClearFaults();
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_) << c.function;
    EXPECT_FALSE(bfsim::Boards().at(0).open) << c.function;
  }
  EXPECT_NE(OpenOk(), nullptr);
}

TEST_F(FaultPoints, HostRefusalsArePassedOnAndNothingStays) {
  // The first allocation of an open is the board record, the first mutex call
  // the instance mutex.
  tarvel::FailAllocation(1);
  Terr code = 0;
  EXPECT_EQ(Open(Params(), &code), nullptr);
  EXPECT_EQ(code, T_ERR_MEM);
  tarvel::FailMutexCall(1);
  EXPECT_EQ(Open(Params(), &code), nullptr);
  EXPECT_EQ(code, T_ERR_MUTEX);
  EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
  EXPECT_TRUE(testing::ThreadsBackTo(threads_));

  // A ring that could not be made is made anew when the same size is asked
  // again; it was once taken as unchanged, and every grab then timed out.
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  bfsim::SetManualClock(0, true);
  ASSERT_EQ(instance->SetParam("grab_timeout", Value::Int(2000)), kOk);
  tarvel::FailAllocation(3);
  EXPECT_EQ(instance->SetParam("num_buffers", Value::Int(6)), T_ERR_MEM);
  EXPECT_EQ(instance->SetParam("num_buffers", Value::Int(6)), kOk);
  // Until then nothing grabs into the holes: the worker once wrote through a
  // missing state array.
  tarvel::FailAllocation(1);
  EXPECT_EQ(instance->SetParam("num_buffers", Value::Int(4)), T_ERR_MEM);
  EXPECT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), FG_ERR_BUFFER_ALLOC);
  std::vector<tarvel::Image> images;
  EXPECT_EQ(instance->Grab(&images), FG_ERR_BUFFER_ALLOC);
  EXPECT_EQ(instance->SetParam("num_buffers", Value::Int(4)), kOk);
  EXPECT_EQ(WhileDelivering([&] { return instance->Grab(&images); }), kOk);
  ASSERT_FALSE(images.empty());
  EXPECT_TRUE(CarriesFrame(images[0], 0));
}

}  // namespace
}  // namespace grabline

namespace grabline {
namespace {

// A cancel the SDK refused once left close polling a thread that never woke.
TEST_F(FaultPoints, CloseEndsThreadsWhoseCancelWasRefused) {
  for (uint32_t nth = 1; nth <= 4; ++nth) {
    tarvel::Instance *instance = OpenOk();
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(instance->SetParam("continuous_grabbing", Value::Str("enable")), kOk);
    bfsim::FailCall("CiSignalCancel", nth, BF_ERR_SIGNAL);
    {
      testing::Watchdog watchdog("close, cancel " + std::to_string(nth), std::chrono::seconds(5));
      EXPECT_EQ(Close(instance), kOk);
    }
    bfsim::ClearFaults();
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
    EXPECT_TRUE(testing::ThreadsBackTo(threads_));
  }
}

}  // namespace
}  // namespace grabline

namespace grabline {
namespace {

// A mutex whose destroy the host refused at close was once forgotten by the
// next open of the record, and lost for good.
TEST_F(FaultPoints, ARefusedMutexDestroyIsRetriedByTheNextOpen) {
  const size_t mutexes = tarvel::OutstandingMutexes();
  tarvel::Instance *instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  tarvel::FailMutexCall(1);
  EXPECT_EQ(Close(instance), T_ERR_MUTEX);
  EXPECT_EQ(tarvel::OutstandingMutexes(), mutexes + 1);
  instance = OpenOk();
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(tarvel::OutstandingMutexes(), mutexes + 1);  // the old one went, a new one came
  EXPECT_EQ(Close(instance), kOk);
  EXPECT_EQ(tarvel::OutstandingMutexes(), mutexes);
}

}  // namespace
}  // namespace grabline
