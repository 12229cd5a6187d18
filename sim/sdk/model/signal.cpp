// Signals. A cancel is a one-shot token: the waiter that is blocked (or the
// next one to wait) takes it, so a thread told to stop sees exactly one
// cancelled wait however the cancel and the wait are ordered.
#include "model/signal.hpp"

#include <chrono>

namespace bfsim::model {

uint64_t FineTick() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

void Signal::Raise(const Info &info, bool wake) {
  {
    std::lock_guard lock(mutex_);
    if (freed_) return;
    if (pending_ == UINT32_MAX) return;  // saturated: nobody has waited for ages
    ++pending_;
    infos_.push_back(info);
    if (infos_.size() > kMaxInfos) infos_.pop_front();
  }
  if (wake) changed_.notify_all();
}

void Signal::Wake() { changed_.notify_all(); }

Signal::Result Signal::Wait(std::optional<uint32_t> timeout_ms, Info *info, uint32_t *pending) {
  std::unique_lock lock(mutex_);
  auto ready = [this] { return freed_ || cancel_pending_ || pending_ > 0; };
  if (freed_) return Result::kFreed;
  ++waiters_;
  bool woken = true;
  if (!timeout_ms) {
    changed_.wait(lock, ready);
  } else {
    woken = changed_.wait_for(lock, std::chrono::milliseconds(*timeout_ms), ready);
  }
  --waiters_;
  if (!woken) {
    if (pending) *pending = pending_;
    return Result::kTimeout;
  }
  Result result;
  if (freed_ || cancel_pending_) {
    cancel_pending_ = false;
    result = Result::kCancelled;
  } else {
    // The oldest pending raise; its info is gone if more than kMaxInfos wait.
    Info taken;
    if (infos_.size() == pending_) {
      taken = infos_.front();
      infos_.pop_front();
    }
    --pending_;
    if (info) *info = taken;
    result = Result::kSignalled;
  }
  if (pending) *pending = pending_;
  return result;
}

void Signal::Cancel() {
  {
    std::lock_guard lock(mutex_);
    cancel_pending_ = true;
  }
  changed_.notify_all();
}

void Signal::Clear() {
  std::lock_guard lock(mutex_);
  pending_ = 0;
  infos_.clear();
  cancel_pending_ = false;
}

void Signal::Free() {
  {
    std::lock_guard lock(mutex_);
    freed_ = true;
    pending_ = 0;
    infos_.clear();
  }
  changed_.notify_all();
}

uint32_t Signal::Pending() {
  std::lock_guard lock(mutex_);
  return pending_;
}

uint32_t Signal::Waiters() {
  std::lock_guard lock(mutex_);
  return waiters_;
}

}  // namespace bfsim::model
