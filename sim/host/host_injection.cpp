// Fault injection: tests sweep failure points by arming the nth call of a kind.
#include "host_internal.hpp"

namespace tarvel {
namespace internal {

bool Injector::NextFails() {
  calls_.fetch_add(1, std::memory_order_relaxed);
  uint32_t left = countdown_.load(std::memory_order_relaxed);
  // Several threads may race for the armed call; exactly one of them takes it.
  while (left != 0) {
    if (countdown_.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
      return left == 1;
    }
  }
  return false;
}

Injector &AllocationInjector() {
  static Injector injector;
  return injector;
}

Injector &ImageInjector() {
  static Injector injector;
  return injector;
}

Injector &MutexInjector() {
  static Injector injector;
  return injector;
}

}  // namespace internal

void FailAllocation(uint32_t nth) { internal::AllocationInjector().Arm(nth); }
void FailImageCreation(uint32_t nth) { internal::ImageInjector().Arm(nth); }
void FailMutexCall(uint32_t nth) { internal::MutexInjector().Arm(nth); }

void ClearInjections() {
  internal::AllocationInjector().Arm(0);
  internal::ImageInjector().Arm(0);
  internal::MutexInjector().Arm(0);
}

uint64_t AllocationCalls() { return internal::AllocationInjector().calls(); }
uint64_t ImageCalls() { return internal::ImageInjector().calls(); }
uint64_t MutexCalls() { return internal::MutexInjector().calls(); }

}  // namespace tarvel
