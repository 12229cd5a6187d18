// Fault injection: tests sweep failure points by arming the nth call of a kind.
#include "host_internal.hpp"

namespace tarvel {
namespace internal {

std::optional<Terr> Injector::NextFails() {
  calls_.fetch_add(1, std::memory_order_relaxed);
  uint64_t armed = armed_.load(std::memory_order_relaxed);
  // Several threads may race for the armed call; exactly one of them takes it.
  while (uint32_t(armed) != 0) {
    // The countdown is not zero, so taking one off never borrows from the code.
    if (armed_.compare_exchange_weak(armed, armed - 1, std::memory_order_relaxed)) {
      if (uint32_t(armed) != 1) return std::nullopt;
      return Terr(uint32_t(armed >> 32));
    }
  }
  return std::nullopt;
}

Injector &AllocationInjector() {
  static Injector injector;
  return injector;
}

Injector &FilledAllocationInjector() {
  static Injector injector;
  return injector;
}

Injector &FreeInjector() {
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

void FailAllocation(uint32_t nth) { FailAllocation(nth, T_ERR_MEM); }
void FailAllocation(uint32_t nth, Terr code) { internal::AllocationInjector().Arm(nth, code); }
void FailAllocationFilled(uint32_t nth, Terr code) {
  internal::FilledAllocationInjector().Arm(nth, code);
}
void FailFree(uint32_t nth, Terr code) { internal::FreeInjector().Arm(nth, code); }
void FailImageCreation(uint32_t nth) { FailImageCreation(nth, T_ERR_IMAGE); }
void FailImageCreation(uint32_t nth, Terr code) { internal::ImageInjector().Arm(nth, code); }
void FailMutexCall(uint32_t nth) { FailMutexCall(nth, T_ERR_MUTEX); }
void FailMutexCall(uint32_t nth, Terr code) { internal::MutexInjector().Arm(nth, code); }

void ClearInjections() {
  for (internal::Injector *injector :
       {&internal::AllocationInjector(), &internal::FilledAllocationInjector(),
        &internal::FreeInjector(), &internal::ImageInjector(), &internal::MutexInjector()}) {
    injector->Arm(0, 0);
  }
  internal::ReleaseRefusedFrees();
}

uint64_t AllocationCalls() { return internal::AllocationInjector().calls(); }
uint64_t FreeCalls() { return internal::FreeInjector().calls(); }
uint64_t ImageCalls() { return internal::ImageInjector().calls(); }
uint64_t MutexCalls() { return internal::MutexInjector().calls(); }

}  // namespace tarvel
