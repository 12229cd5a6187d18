// The host allocator: books, rejected frees and injected failures, with the codes of
// the other injections.
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "host_fixture.hpp"

namespace tarvel::testing {
namespace {

using HostAlloc = HostTest;

TEST_F(HostAlloc, BooksRecordSizeAndTracedOrigin) {
  const size_t count = OutstandingAllocations();
  const size_t bytes = OutstandingBytes();
  void *plain = nullptr;
  void *traced = nullptr;
  ASSERT_EQ(TXAlloc(nullptr, 100, &plain), T_MSG_OK);
  ASSERT_EQ(TXAllocMemCheck(nullptr, 28, "CIOBitflow", 417, -112, &traced), T_MSG_OK);
  EXPECT_EQ(OutstandingAllocations(), count + 2);
  EXPECT_EQ(OutstandingBytes(), bytes + 128);

  int found = 0;
  for (const Allocation &entry : Outstanding()) {
    if (entry.traced && entry.file == "CIOBitflow" && entry.line == 417 && entry.bytes == 28) {
      ++found;
    }
  }
  EXPECT_EQ(found, 1);

  EXPECT_EQ(TXFreeMemCheck(nullptr, plain, "CIOBitflow", 500), T_MSG_OK);
  EXPECT_EQ(TXFree(nullptr, traced), T_MSG_OK);
  EXPECT_EQ(OutstandingAllocations(), count);
  EXPECT_EQ(OutstandingBytes(), bytes);
}

TEST_F(HostAlloc, ZeroBytesGivesDistinctFreeablePointers) {
  void *a = nullptr;
  void *b = nullptr;
  ASSERT_EQ(TXAlloc(nullptr, 0, &a), T_MSG_OK);
  ASSERT_EQ(TXAlloc(nullptr, 0, &b), T_MSG_OK);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(TXFree(nullptr, a), T_MSG_OK);
  EXPECT_EQ(TXFree(nullptr, b), T_MSG_OK);
}

TEST_F(HostAlloc, UnknownAndDoubleFreesAreRejectedAndRecorded) {
  int on_stack = 0;
  void *block = nullptr;
  ASSERT_EQ(TXAlloc(nullptr, 8, &block), T_MSG_OK);
  ASSERT_EQ(TXFree(nullptr, block), T_MSG_OK);
  const size_t count = OutstandingAllocations();

  EXPECT_EQ(TXFree(nullptr, block), T_ERR_ARGUMENT);
  EXPECT_EQ(TXFreeMemCheck(nullptr, &on_stack, "CIOBitflow", 77), T_ERR_ARGUMENT);
  EXPECT_EQ(TXFree(nullptr, nullptr), T_ERR_ARGUMENT);
  EXPECT_EQ(OutstandingAllocations(), count);

  std::vector<Allocation> rejected = RejectedFrees();
  ASSERT_EQ(rejected.size(), 3u);
  EXPECT_FALSE(rejected[0].traced);
  EXPECT_TRUE(rejected[1].traced);
  EXPECT_EQ(rejected[1].file, "CIOBitflow");
  EXPECT_EQ(rejected[1].line, 77);
  ClearLogs();
  EXPECT_TRUE(RejectedFrees().empty());
}

TEST_F(HostAlloc, RefusedRequestsLeaveNothingOnTheBooks) {
  const size_t count = OutstandingAllocations();
  void *block = &block;
  EXPECT_EQ(TXAlloc(nullptr, SIZE_MAX, &block), T_ERR_MEM);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(TXAlloc(nullptr, 8, nullptr), T_ERR_ARGUMENT);
  EXPECT_EQ(OutstandingAllocations(), count);
}

TEST_F(HostAlloc, NthAllocationFailsOnceAndCallsAreCounted) {
  const uint64_t calls = AllocationCalls();
  FailAllocation(2);
  void *blocks[3] = {};
  EXPECT_EQ(TXAlloc(nullptr, 4, &blocks[0]), T_MSG_OK);
  EXPECT_EQ(TXAllocMemCheck(nullptr, 4, "f", 1, -112, &blocks[1]), T_ERR_MEM);
  EXPECT_EQ(blocks[1], nullptr);
  EXPECT_EQ(TXAlloc(nullptr, 4, &blocks[2]), T_MSG_OK);
  EXPECT_EQ(AllocationCalls(), calls + 3);
  for (void *block : blocks) {
    if (block != nullptr) {
      EXPECT_EQ(TXFree(nullptr, block), T_MSG_OK);
    }
  }

  FailAllocation(1);
  ClearInjections();
  void *block = nullptr;
  EXPECT_EQ(TXAlloc(nullptr, 4, &block), T_MSG_OK);
  EXPECT_EQ(TXFree(nullptr, block), T_MSG_OK);
}

TEST_F(HostAlloc, InjectedCodesReplaceTheFixedOnes) {
  const size_t count = OutstandingAllocations();
  const size_t images = OutstandingImages();
  void *block = &block;
  Timage record{};
  TpMutex mutex = nullptr;
  FailAllocation(1, 5101);
  EXPECT_EQ(TXAlloc(nullptr, 8, &block), 5101);
  EXPECT_EQ(block, nullptr);
  // Negative codes must come back whole through the armed word.
  FailImageCreation(1, -5102);
  EXPECT_EQ(TNewImage(nullptr, &record, BYTE_IMAGE, 2, 2), -5102);
  FailMutexCall(1, 5103);
  EXPECT_EQ(TpThreadMutexInit(&mutex), 5103);
  EXPECT_EQ(mutex, nullptr);
  EXPECT_EQ(OutstandingAllocations(), count);
  EXPECT_EQ(OutstandingImages(), images);
}

TEST_F(HostAlloc, RefusedFreeKeepsTheBlockUntilInjectionsAreCleared) {
  const size_t count = OutstandingAllocations();
  const size_t bytes = OutstandingBytes();
  const uint64_t calls = FreeCalls();
  void *kept = nullptr;
  void *freed = nullptr;
  ASSERT_EQ(TXAlloc(nullptr, 48, &kept), T_MSG_OK);
  ASSERT_EQ(TXAlloc(nullptr, 16, &freed), T_MSG_OK);
  FailFree(2, 4999);
  EXPECT_EQ(TXFree(nullptr, freed), T_MSG_OK);
  EXPECT_EQ(TXFreeMemCheck(nullptr, kept, "acq.cpp", 12), 4999);
  EXPECT_EQ(FreeCalls(), calls + 2);
  EXPECT_EQ(OutstandingAllocations(), count + 1);
  EXPECT_EQ(OutstandingBytes(), bytes + 48);
  int refused = 0;
  for (const Allocation &entry : Outstanding()) refused += entry.free_refused ? 1 : 0;
  EXPECT_EQ(refused, 1);
  // The host still knows the block: a later free of it is taken.
  EXPECT_EQ(TXFree(nullptr, kept), T_MSG_OK);
  EXPECT_EQ(OutstandingAllocations(), count);

  ASSERT_EQ(TXAlloc(nullptr, 48, &kept), T_MSG_OK);
  FailFree(1, 4999);
  EXPECT_EQ(TXFree(nullptr, kept), 4999);
  ClearInjections();
  EXPECT_EQ(OutstandingAllocations(), count);
  EXPECT_EQ(OutstandingBytes(), bytes);
  EXPECT_EQ(TXFree(nullptr, kept), T_ERR_ARGUMENT);
  EXPECT_EQ(RejectedFrees().size(), 1u);
}

TEST_F(HostAlloc, FilledFailureHandsOutABlockOnTheBooks) {
  const size_t count = OutstandingAllocations();
  void *first = nullptr;
  void *filled = nullptr;
  FailAllocationFilled(2, 4998);
  ASSERT_EQ(TXAlloc(nullptr, 8, &first), T_MSG_OK);
  EXPECT_EQ(TXAllocMemCheck(nullptr, 32, "acq.cpp", 9, -112, &filled), 4998);
  ASSERT_NE(filled, nullptr);
  EXPECT_EQ(OutstandingAllocations(), count + 2);
  int found = 0;
  for (const Allocation &entry : Outstanding()) {
    if (entry.bytes == 32 && entry.traced && entry.file == "acq.cpp" && entry.line == 9) ++found;
  }
  EXPECT_EQ(found, 1);
  EXPECT_EQ(TXFree(nullptr, filled), T_MSG_OK);
  EXPECT_EQ(TXFree(nullptr, first), T_MSG_OK);
  EXPECT_EQ(OutstandingAllocations(), count);
}

TEST(ThreadedHostAlloc, BooksBalanceUnderConcurrentUse) {
  const size_t count = OutstandingAllocations();
  const size_t bytes = OutstandingBytes();
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      std::vector<void *> mine;
      for (int k = 0; k < 500; ++k) {
        void *block = nullptr;
        if (TXAllocMemCheck(nullptr, size_t(k + t), "thread", t, -112, &block) != T_MSG_OK) {
          ++failures;
        }
        mine.push_back(block);
      }
      for (void *block : mine) {
        if (TXFree(nullptr, block) != T_MSG_OK) ++failures;
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(OutstandingAllocations(), count);
  EXPECT_EQ(OutstandingBytes(), bytes);
}

TEST(ThreadedHostAlloc, ArmedFailureHitsExactlyOneCall) {
  ClearInjections();
  FailAllocation(700);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures] {
      for (int k = 0; k < 250; ++k) {
        void *block = nullptr;
        if (TXAlloc(nullptr, 16, &block) == T_ERR_MEM) {
          ++failures;
        } else {
          TXFree(nullptr, block);
        }
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 1);
}

}  // namespace
}  // namespace tarvel::testing
