// Guarded host calls: tracing, traced allocators, the error hook.
#include <gtest/gtest.h>
#include <string>

#include "plugin/host_call.hpp"
#include "tarvel_host.hpp"

namespace grabline {
namespace {

// Written out per build, not read from the build's own table.
const bool kXl = std::string(GRABLINE_PLUGIN_NAME) == "grablinexl";
const std::string kSourceFile =
    std::string(GRABLINE_PLUGIN_NAME) == "grabline" ? "CIOBitflow" : ".\\CIOBitflow";

#define ALLOC(size, pptr) HOST_ALLOC(nullptr, size, pptr, #size, #pptr)
#define FREE(ptr) HOST_FREE(nullptr, ptr, #ptr)

class HostCall : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    tarvel::SetSpying(false);
    tarvel::SetTraceMemory(false);
    tarvel::SetLowError(false);
    tarvel::SetProcessErrResult(std::nullopt);
    tarvel::ClearInjections();
    tarvel::ClearLogs();
  }
};

TEST_F(HostCall, FailureRuleOfTheBuild) {
  EXPECT_FALSE(IsHostFailure(kOk));
  EXPECT_TRUE(IsHostFailure(T_ERR_MEM));
  // The xl host lets codes below its success code pass; the others do not.
  EXPECT_EQ(IsHostFailure(kOk - 1), !kXl);
}

TEST_F(HostCall, TracedOnlyWhileSpyingIsOn) {
  void *p = nullptr;
  ASSERT_EQ(ALLOC(64, &p), FG_OK);
  ASSERT_EQ(FREE(p), FG_OK);
  EXPECT_TRUE(tarvel::SpyCalls().empty());

  tarvel::SetSpying(true);
  ASSERT_EQ(ALLOC(64, &p), FG_OK);
  ASSERT_EQ(FREE(p), FG_OK);
  const auto spies = tarvel::SpyCalls();
  ASSERT_EQ(spies.size(), 2u);
  EXPECT_NE(spies[0].text.find("TXAlloc("), std::string::npos);
  EXPECT_NE(spies[0].text.find("TXAllocMemCheck("), std::string::npos);
  EXPECT_NE(spies[1].text.find("TXFree("), std::string::npos);
  EXPECT_EQ(spies[0].file, kSourceFile);
  EXPECT_GT(spies[0].line, 0);
}

TEST_F(HostCall, TracingAllocatorsWhileTraceMemoryIsSet) {
  const size_t before = tarvel::OutstandingAllocations();
  void *plain = nullptr;
  void *traced = nullptr;
  ASSERT_EQ(ALLOC(100, &plain), FG_OK);
  tarvel::SetTraceMemory(true);
  ASSERT_EQ(ALLOC(200, &traced), FG_OK);
  const auto books = tarvel::Outstanding();
  ASSERT_EQ(books.size(), before + 2);
  size_t found = 0;
  for (const auto &a : books) {
    if (a.bytes == 100) {
      EXPECT_FALSE(a.traced);
      ++found;
    }
    if (a.bytes == 200) {
      EXPECT_TRUE(a.traced);
      EXPECT_EQ(a.file, kSourceFile);
      EXPECT_GT(a.line, 0);
      ++found;
    }
  }
  EXPECT_EQ(found, 2u);
  EXPECT_EQ(FREE(traced), FG_OK);
  tarvel::SetTraceMemory(false);
  EXPECT_EQ(FREE(plain), FG_OK);
  EXPECT_EQ(tarvel::OutstandingAllocations(), before);
}

TEST_F(HostCall, FailingCallReachesTheHookWithTextLineAndFile) {
  tarvel::FailAllocation(1);
  void *p = reinterpret_cast<void *>(0x1);
  const int line = __LINE__ + 1;
  EXPECT_EQ(ALLOC(32, &p), T_ERR_MEM);
  EXPECT_EQ(p, nullptr);
  const auto hooks = tarvel::ErrorHookCalls();
  ASSERT_EQ(hooks.size(), 1u);
  EXPECT_EQ(hooks[0].code, T_ERR_MEM);
  EXPECT_EQ(hooks[0].line, line);
  EXPECT_EQ(hooks[0].file, kSourceFile);
  EXPECT_EQ(hooks[0].text,
            "TTraceMemory ? TXAllocMemCheck(proc_id, 32, __FILE__, __LINE__, -112, (void**)&p) : "
            "TXAlloc(proc_id, 32, (void**)&p)");
}

TEST_F(HostCall, HookAnswerIsReturnedOnlyWhenItIsAFailure) {
  tarvel::SetProcessErrResult(4999);
  tarvel::FailAllocation(1);
  void *p = nullptr;
  EXPECT_EQ(ALLOC(8, &p), 4999);

  tarvel::SetProcessErrResult(kOk);
  tarvel::FailAllocation(1);
  EXPECT_EQ(ALLOC(8, &p), T_ERR_MEM);
}

TEST_F(HostCall, GenericCallShowsTheGivenText) {
  TpMutex lock = nullptr;
  tarvel::FailMutexCall(1);
  EXPECT_EQ(HOST_CALL("TpThreadMutexInit(&mutex)", TpThreadMutexInit(&lock)), T_ERR_MUTEX);
  const auto hooks = tarvel::ErrorHookCalls();
  ASSERT_EQ(hooks.size(), 1u);
  EXPECT_EQ(hooks[0].text, "TpThreadMutexInit(&mutex)");
  ASSERT_EQ(HOST_CALL("TpThreadMutexInit(&mutex)", TpThreadMutexInit(&lock)), FG_OK);
  EXPECT_EQ(HOST_CALL("TpThreadMutexDestroy(&mutex)", TpThreadMutexDestroy(&lock)), FG_OK);
}

}  // namespace
}  // namespace grabline
