// Host calls beside memory and images: global variable 64, error hook, call
// tracing, message printing, switches and the class defaults.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "host_fixture.hpp"

namespace tarvel::testing {
namespace {

using HostGlobalVariable = HostTest;
using HostDiagnostics = HostTest;
using HostDefaults = HostTest;

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

  setenv("TARVEL_PRINT_ERRORS", "1", 1);
  ::testing::internal::CaptureStderr();
  IOPrintErrorMessage("Read buffer size must be set before reading.");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Read buffer size must be set before reading.\n");
  unsetenv("TARVEL_PRINT_ERRORS");

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
