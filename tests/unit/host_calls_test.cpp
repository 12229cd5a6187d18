// Host calls beside memory and images: global variable 64, error hook, call
// tracing, message printing, switches and the class defaults; the log of all calls.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <thread>

#include "host_fixture.hpp"
#include "support/test_os.hpp"

namespace tarvel::testing {
namespace {

using HostGlobalVariable = HostTest;
using HostDiagnostics = HostTest;
using HostDefaults = HostTest;
using HostCallLog = HostTest;
using ThreadedHostCallLog = HostTest;  // in the thread-sanitizer run

TEST_F(HostGlobalVariable, ReadsAndWritesVariable64Only) {
  SetGlobalVariable64(5);
  int64_t value = -1;
  EXPECT_EQ(TAccessGlVar(nullptr, 64, 1, &value, 0.0, nullptr, nullptr, 0), T_MSG_OK);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(TAccessGlVar(nullptr, 64, 0, nullptr, 12.0, nullptr, nullptr, 0), T_MSG_OK);
  EXPECT_EQ(GlobalVariable64(), 12);

  EXPECT_EQ(TAccessGlVar(nullptr, 63, 1, &value, 0.0, nullptr, nullptr, 0), T_ERR_GLVAR);
  EXPECT_EQ(TAccessGlVar(nullptr, 64, 2, &value, 0.0, nullptr, nullptr, 0), T_ERR_GLVAR);
  EXPECT_EQ(TAccessGlVar(nullptr, 64, 1, nullptr, 0.0, nullptr, nullptr, 0), T_ERR_ARGUMENT);
  // Doubles with no 64-bit integer value are refused and leave the variable alone.
  EXPECT_EQ(TAccessGlVar(nullptr, 64, 0, nullptr, std::nan(""), nullptr, nullptr, 0), T_ERR_GLVAR);
  EXPECT_EQ(TAccessGlVar(nullptr, 64, 0, nullptr, 1e19, nullptr, nullptr, 0), T_ERR_GLVAR);
  EXPECT_EQ(GlobalVariable64(), 12);
  SetGlobalVariable64(0);
}

TEST_F(HostDiagnostics, ErrorHookRecordsAndAnswers) {
  EXPECT_EQ(TProcessErr("TXAlloc(proc_id, 8, &p)", T_ERR_MEM, 211, "CIOBitflow"), T_ERR_MEM);
  SetProcessErrResult(T_MSG_OK);
  EXPECT_EQ(TProcessErr(nullptr, 5312, 7, nullptr), T_MSG_OK);
  std::vector<HookCall> calls = ErrorHookCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, "TXAlloc(proc_id, 8, &p)");
  EXPECT_EQ(calls[0].code, T_ERR_MEM);
  EXPECT_EQ(calls[0].line, 211);
  EXPECT_EQ(calls[0].file, "CIOBitflow");
  EXPECT_EQ(calls[1].text, "");
  EXPECT_EQ(calls[1].code, 5312);
}

TEST_F(HostDiagnostics, SpySwitchAndTraceLines) {
  auto spying = [] {
#if defined(TARVEL_BUILD_PAR)
    return TROInfo.spy_on != 0 && TROInfo.spy_proc != 0;
#else
    return IOGetSpyProcCallSwitch() != 0;
#endif
  };
  EXPECT_FALSE(spying());
  SetSpying(true);
  EXPECT_TRUE(spying());
  IOSpyProcCall("TpThreadMutexInit(&m)", 99, ".\\CIOBitflow");
  SetSpying(false);
  EXPECT_FALSE(spying());
  std::vector<HookCall> calls = SpyCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, "TpThreadMutexInit(&m)");
  EXPECT_EQ(calls[0].code, 0);
  EXPECT_EQ(calls[0].line, 99);
  EXPECT_EQ(calls[0].file, ".\\CIOBitflow");
}

TEST_F(HostDiagnostics, MessagesAndGlobalSwitches) {
  IOPrintErrorMessage("Timed out reading message.");
  IOPrintErrorMessage(nullptr);
  EXPECT_EQ(PrintedMessages(), (std::vector<std::string>{"Timed out reading message.", ""}));
  ClearLogs();
  EXPECT_TRUE(PrintedMessages().empty());
  EXPECT_TRUE(ErrorHookCalls().empty());

  ::grabline::testing::SetEnv("TARVEL_PRINT_ERRORS", "1");
  ::testing::internal::CaptureStderr();
  IOPrintErrorMessage("Read buffer size must be set before reading.");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Read buffer size must be set before reading.\n");
  ::grabline::testing::SetEnv("TARVEL_PRINT_ERRORS", nullptr);

  SetTraceMemory(true);
  SetLowError(true);
  EXPECT_EQ(TTraceMemory, 1);
  EXPECT_EQ(TDoLowError, 1);
  SetTraceMemory(false);
  SetLowError(false);
  EXPECT_EQ(TTraceMemory, 0);
  EXPECT_EQ(TDoLowError, 0);
}

// A class record with the defaults a plug-in writes, the rest left at the fill byte.
TFgClass DefaultClass() {
  TFgClass c;
  std::memset(&c, 0xA5, sizeof(c));
  c.horizontal_resolution = 1;
  c.vertical_resolution = 2;
  c.image_width = 640;
  c.image_height = 480;
  c.start_row = 3;
  c.start_column = 4;
  c.field = 4;
  c.bits_per_channel = -1;
  std::strcpy(c.color_space, "gray");
  c.gain = 1.5f;
  c.external_trigger = 1;
  std::strcpy(c.camera_type, "default");
  std::strcpy(c.device, "R64:0");
  c.port = 0;
  c.line_in = 1;
  return c;
}

TEST_F(HostDefaults, AllFieldsInOrderInHostMemory) {
  auto c = std::make_unique<TFgClass>(DefaultClass());
  const size_t count = OutstandingAllocations();
  Tcpar *values = nullptr;
  int32_t num = 0;
  ASSERT_EQ(TFgGetDefaults(nullptr, c.get(), &values, &num), T_MSG_OK);
  ASSERT_EQ(num, 15);
  EXPECT_EQ(OutstandingAllocations(), count + 1);

  const int64_t ints[] = {1, 2, 640, 480, 3, 4, 4, -1};
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(values[k].type, TPAR_INT) << k;
    EXPECT_EQ(values[k].par.l, ints[k]) << k;
  }
  EXPECT_EQ(values[8].type, TPAR_STRING);
  EXPECT_EQ(values[8].par.s, c->color_space);
  EXPECT_EQ(values[9].type, TPAR_DOUBLE);
  EXPECT_EQ(values[9].par.d, 1.5);
  EXPECT_EQ(values[10].type, TPAR_STRING);
  EXPECT_STREQ(values[10].par.s, "true");
  EXPECT_EQ(values[11].par.s, c->camera_type);
  EXPECT_STREQ(values[12].par.s, "R64:0");
  EXPECT_EQ(values[13].type, TPAR_INT);
  EXPECT_EQ(values[13].par.l, 0);
  EXPECT_EQ(values[14].par.l, 1);

  EXPECT_EQ(TXFree(nullptr, values), T_MSG_OK);
  EXPECT_EQ(OutstandingAllocations(), count);

  c->external_trigger = 0;
  ASSERT_EQ(TFgGetDefaults(nullptr, c.get(), &values, &num), T_MSG_OK);
  EXPECT_STREQ(values[10].par.s, "false");
  EXPECT_EQ(TXFree(nullptr, values), T_MSG_OK);
}

TEST_F(HostDefaults, RefusesUnterminatedTextsAndPassesAllocationFailure) {
  auto c = std::make_unique<TFgClass>(DefaultClass());
  const size_t count = OutstandingAllocations();
  Tcpar *values = nullptr;
  int32_t num = 0;
  std::memset(c->device, 'x', sizeof(c->device));
  EXPECT_EQ(TFgGetDefaults(nullptr, c.get(), &values, &num), T_ERR_ARGUMENT);
  EXPECT_EQ(values, nullptr);
  std::strcpy(c->device, "default");

  FailAllocation(1);
  EXPECT_EQ(TFgGetDefaults(nullptr, c.get(), &values, &num), T_ERR_MEM);
  EXPECT_EQ(values, nullptr);
  // A block handed out with the failure is taken back, not passed on.
  FailAllocationFilled(1, 4998);
  EXPECT_EQ(TFgGetDefaults(nullptr, c.get(), &values, &num), 4998);
  EXPECT_EQ(values, nullptr);
  EXPECT_EQ(TFgGetDefaults(nullptr, c.get(), nullptr, &num), T_ERR_ARGUMENT);
  EXPECT_EQ(OutstandingAllocations(), count);
}

HostCall Call(std::string_view name, std::array<int64_t, 4> fields, std::string text = "",
              Terr result = T_MSG_OK) {
  HostCall call;
  call.name = name;
  call.fields = fields;
  call.text = std::move(text);
  call.result = result;
  return call;
}

int64_t Address(const void *pointer) { return int64_t(reinterpret_cast<intptr_t>(pointer)); }

TEST_F(HostCallLog, EachCallInOrderWithWhatItWas) {
  auto c = std::make_unique<TFgClass>(DefaultClass());
  void *plain = nullptr;
  void *traced = nullptr;
  Tcpar *values = nullptr;
  int32_t num = 0;
  int64_t read = 0;
  uint8_t foreign[4] = {};
  Timage record{};
  std::vector<Image> images;
  // Each step makes one call and gives the entry it must leave.
  const std::vector<std::function<HostCall()>> steps = {
      [&] {
        TXAlloc(nullptr, 24, &plain);
        return Call("TXAlloc", {24, Address(plain), 0, 0});
      },
      [&] {
        TXAllocMemCheck(nullptr, 40, "acq.cpp", 417, -112, &traced);
        return Call("TXAllocMemCheck", {40, Address(traced), 417, -112}, "acq.cpp");
      },
      [&] {
        TXFreeMemCheck(nullptr, plain, "acq.cpp", 500);
        return Call("TXFreeMemCheck", {Address(plain), 500, 0, 0}, "acq.cpp");
      },
      [&] {
        TXFree(nullptr, traced);
        return Call("TXFree", {Address(traced), 0, 0, 0});
      },
      [&] {
        TXFree(nullptr, traced);
        return Call("TXFree", {Address(traced), 0, 0, 0}, "", T_ERR_ARGUMENT);
      },
      [&] {
        TNewImage(nullptr, &record, UINT2_IMAGE, 5, 3);
        images.emplace_back(record);
        return Call("TNewImage", {UINT2_IMAGE, 5, 3, 0});
      },
      [&] {
        TNewImage(nullptr, &record, 3, 5, 3);
        return Call("TNewImage", {3, 5, 3, 0}, "", T_ERR_IMAGE);
      },
      [&] {
        TNewImagePtr(nullptr, &record, BYTE_IMAGE, 2, 2, foreign, 0);
        return Call("TNewImagePtr", {BYTE_IMAGE, 2, 2, 1});
      },
      [&] {
        TNewImagePtr(nullptr, &record, BYTE_IMAGE, 2, 2, foreign, 1);
        images.emplace_back(record);
        return Call("TNewImagePtr", {BYTE_IMAGE, 2, 2, 0});
      },
      [&] {
        TAccessGlVar(nullptr, 64, 0, nullptr, 12.0, nullptr, nullptr, 0);
        return Call("TAccessGlVar", {64, 0, 12, 0});
      },
      [&] {
        TAccessGlVar(nullptr, 64, 1, &read, 0.0, nullptr, nullptr, 0);
        return Call("TAccessGlVar", {64, 1, 12, 0});
      },
      [&] {
        TAccessGlVar(nullptr, 64, 0, nullptr, std::nan(""), nullptr, nullptr, 0);
        return Call("TAccessGlVar", {64, 0, 0, 0}, "", T_ERR_GLVAR);
      },
      [&] {
        SetProcessErrResult(T_MSG_OK);
        TProcessErr("TXAlloc(proc_id, 8, &p)", T_ERR_MEM, 211, "acq.cpp");
        return Call("TProcessErr", {T_ERR_MEM, 211, 0, 0}, "TXAlloc(proc_id, 8, &p)", T_MSG_OK);
      },
      [&] {
        IOSpyProcCall("TpThreadMutexInit(&m)", 99, "acq.cpp");
        return Call("IOSpyProcCall", {99, 0, 0, 0}, "TpThreadMutexInit(&m)");
      },
      [&] {
        IOPrintErrorMessage("Timed out reading message.");
        return Call("IOPrintErrorMessage", {}, "Timed out reading message.");
      },
      [&] {
        TFgGetDefaults(nullptr, c.get(), &values, &num);
        return Call("TFgGetDefaults", {15, Address(values), 0, 0});
      },
      [&] {
        TXFree(nullptr, values);
        return Call("TXFree", {Address(values), 0, 0, 0});
      },
  };
  RecordHostCalls(true);
  std::vector<HostCall> expected;
  for (const auto &step : steps) expected.push_back(step());
  const std::vector<HostCall> calls = HostCalls();
  ASSERT_EQ(calls.size(), expected.size());
  for (size_t k = 0; k < calls.size(); ++k) {
    EXPECT_EQ(calls[k].sequence, k + 1);
    EXPECT_EQ(calls[k].thread, 1u) << k;
    EXPECT_EQ(calls[k].name, expected[k].name) << k;
    EXPECT_EQ(calls[k].fields, expected[k].fields) << k;
    EXPECT_EQ(calls[k].text, expected[k].text) << k;
    EXPECT_EQ(calls[k].result, expected[k].result) << k;
  }
  SetGlobalVariable64(0);
}

TEST_F(ThreadedHostCallLog, ThreadsNumberedByFirstCallSinceTheLogWasCleared) {
  auto on_new_thread = [](auto call) { std::thread(call).join(); };
  int64_t value = 0;
  RecordHostCalls(true);
  IOPrintErrorMessage("main");
  on_new_thread([] { TProcessErr("second", 5306, 1, "acq.cpp"); });
  on_new_thread([] { IOSpyProcCall("third", 2, "acq.cpp"); });
  TAccessGlVar(nullptr, 64, 1, &value, 0.0, nullptr, nullptr, 0);

  std::vector<HostCall> calls = TakeHostCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(HostCallNames(HostCallsOf(1, calls)),
            (std::vector<std::string>{"IOPrintErrorMessage", "TAccessGlVar"}));
  EXPECT_EQ(HostCallNames(HostCallsOf(2, calls)), std::vector<std::string>{"TProcessErr"});
  EXPECT_EQ(HostCallNames(HostCallsOf(3, calls)), std::vector<std::string>{"IOSpyProcCall"});
  EXPECT_TRUE(HostCalls().empty());

  // Taking the entries keeps the numbering; clearing the log starts it again.
  IOPrintErrorMessage("main");
  ASSERT_EQ(HostCalls().size(), 1u);
  EXPECT_EQ(HostCalls()[0].sequence, 5u);
  EXPECT_EQ(HostCalls()[0].thread, 1u);
  ClearLogs();
  on_new_thread([] { IOPrintErrorMessage("now first"); });
  IOPrintErrorMessage("main");
  calls = HostCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].sequence, 1u);
  EXPECT_EQ(calls[0].thread, 1u);
  EXPECT_EQ(calls[1].thread, 2u);
}

TEST_F(ThreadedHostCallLog, MutexCallsNameTheMutexAndPairUpAcrossThreads) {
  TpMutex first = nullptr;
  TpMutex shared = nullptr;
  RecordHostCalls(true);
  ASSERT_EQ(TpThreadMutexInit(&first), T_MSG_OK);
  TpMutex stale = first;
  ASSERT_EQ(TpThreadMutexDestroy(&first), T_MSG_OK);
  EXPECT_EQ(TpThreadMutexDestroy(&stale), T_ERR_MUTEX);
  // May reuse the first one's memory; it must not reuse its name.
  ASSERT_EQ(TpThreadMutexInit(&shared), T_MSG_OK);
  constexpr int kRounds = 1000;
  std::promise<void> start;
  std::shared_future<void> started = start.get_future().share();
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&shared, started] {
      started.wait();  // both contend from the first round
      for (int k = 0; k < kRounds; ++k) {
        ASSERT_EQ(TpThreadMutexLock(&shared), T_MSG_OK);
        std::this_thread::yield();  // lets the other thread run into the held mutex
        ASSERT_EQ(TpThreadMutexUnlock(&shared), T_MSG_OK);
      }
    });
  }
  start.set_value();
  for (std::thread &thread : threads) thread.join();
  ASSERT_EQ(TpThreadMutexDestroy(&shared), T_MSG_OK);

  const std::vector<HostCall> calls = HostCalls();
  ASSERT_EQ(calls.size(), 4u + 2 * 2 * kRounds + 1u);
  EXPECT_EQ(HostCallNames({calls.begin(), calls.begin() + 4}),
            (std::vector<std::string>{"TpThreadMutexInit", "TpThreadMutexDestroy",
                                      "TpThreadMutexDestroy", "TpThreadMutexInit"}));
  const int64_t first_id = calls[0].fields[0];
  const int64_t shared_id = calls[3].fields[0];
  EXPECT_NE(first_id, 0);
  EXPECT_EQ(calls[1].fields[0], first_id);
  EXPECT_EQ(calls[2].fields[0], 0);  // no live mutex behind the stale handle
  EXPECT_EQ(calls[2].result, T_ERR_MUTEX);
  EXPECT_NE(shared_id, first_id);
  // While one thread holds the mutex, no other thread's call on it may come between.
  for (size_t k = 4; k + 1 < calls.size() - 1; k += 2) {
    ASSERT_EQ(calls[k].name, "TpThreadMutexLock") << k;
    ASSERT_EQ(calls[k + 1].name, "TpThreadMutexUnlock") << k;
    ASSERT_EQ(calls[k + 1].thread, calls[k].thread) << k;
    ASSERT_EQ(calls[k].fields[0], shared_id) << k;
  }
  EXPECT_EQ(calls.back().name, "TpThreadMutexDestroy");
  EXPECT_EQ(calls.back().fields[0], shared_id);
}

TEST_F(HostCallLog, OffByDefaultAndBoundedKeepingTheNewest) {
  int64_t value = 0;
  TAccessGlVar(nullptr, 64, 1, &value, 0.0, nullptr, nullptr, 0);
  EXPECT_TRUE(HostCalls().empty());
  RecordHostCalls(true);
  constexpr uint64_t kCalls = 70000;
  for (uint64_t k = 0; k < kCalls; ++k) {
    TAccessGlVar(nullptr, 64, 1, &value, 0.0, nullptr, nullptr, 0);
  }
  const std::vector<HostCall> calls = HostCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_LT(calls.size(), kCalls);
  EXPECT_EQ(calls.back().sequence, kCalls);
  EXPECT_EQ(calls.front().sequence, kCalls - calls.size() + 1);
}

TEST(ThreadedHostDiagnostics, ConcurrentHookCallsAreAllRecorded) {
  ClearLogs();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int k = 0; k < 200; ++k) {
        TProcessErr("call", 5306, k, "thread");
        IOSpyProcCall("call", t, "thread");
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(ErrorHookCalls().size(), 800u);
  EXPECT_EQ(SpyCalls().size(), 800u);
  ClearLogs();
}

}  // namespace
}  // namespace tarvel::testing
