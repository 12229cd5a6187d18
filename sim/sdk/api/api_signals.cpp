// Signals. The wait blocks outside every simulator lock, on the signal alone,
// so raises and cancels from other threads reach it.
#include <memory>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

namespace bfsim::api {
namespace {

using model::Signal;

BFRC Wait(Bd board, CiSIGNAL *signal, uint32_t timeout_ms, uint32_t *num_pending,
          CiSIGNAL_INFO *info) {
  if (signal == nullptr) return BF_ERR_BAD_ARG;
  if (signal->impl == nullptr) return BF_ERR_SIGNAL;
  std::shared_ptr<Signal> waitable;
  model::Status status = Sys().FindSignal(IdOf(board), IdOf(signal->impl), waitable);
  if (status != model::Status::kOk) return ToCode(status);

  std::optional<uint32_t> limit;
  if (timeout_ms != BF_WAIT_FOREVER) limit = timeout_ms;
  Signal::Info taken;
  uint32_t pending = 0;
  Signal::Result result = waitable->Wait(limit, &taken, &pending);
  if (num_pending != nullptr) *num_pending = pending;
  if (info != nullptr && result == Signal::Result::kSignalled) {
    *info = CiSIGNAL_INFO{};
    info->line_count = taken.line_count;
    info->time_stamp = taken.time_stamp;
  }
  switch (result) {
    case Signal::Result::kSignalled:
      return BF_OK;
    case Signal::Result::kTimeout:
      return BF_WAIT_TIMEOUT;
    case Signal::Result::kCancelled:
      return BF_WAIT_CANCEL;
    case Signal::Result::kFreed:
      return BF_ERR_SIGNAL;
  }
  return BF_ERR_SIGNAL;
}

// Cancel and queue clear: an action on a live signal of the board.
template <typename F>
BFRC OnSignal(Bd board, CiSIGNAL *signal, F &&action) {
  if (signal == nullptr) return BF_ERR_BAD_ARG;
  if (signal->impl == nullptr) return BF_ERR_SIGNAL;
  std::shared_ptr<Signal> target;
  model::Status status = Sys().FindSignal(IdOf(board), IdOf(signal->impl), target);
  if (status == model::Status::kOk) action(*target);
  return ToCode(status);
}

}  // namespace
}  // namespace bfsim::api

using bfsim::api::Entered;
using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OfSignal;
using bfsim::api::Plain;
using bfsim::api::Sys;
using bfsim::api::ToCode;

extern "C" {

BFRC CiSignalCreate(Bd board, uint32_t type, CiSIGNAL *signal) {
  return Gate<BFRC>("CiSignalCreate", {type}, Plain{}, [&](Entered &call) -> BFRC {
    if (signal == nullptr) return BF_ERR_BAD_ARG;
    uint64_t id = 0;
    bfsim::model::Status status = Sys().CreateSignal(IdOf(board), type, id);
    if (status == bfsim::model::Status::kOk) {
      *signal = CiSIGNAL{bfsim::api::HandleOf<void *>(id), type, 0};
      call.Made(bfsim::api::NameSignal(id, type));
    }
    return ToCode(status);
  });
}

BFRC CiSignalWait(Bd board, CiSIGNAL *signal, uint32_t timeout_ms, uint32_t *num_pending) {
  return Gate<BFRC>("CiSignalWait", {timeout_ms}, OfSignal(signal), [&]() -> BFRC {
    return bfsim::api::Wait(board, signal, timeout_ms, num_pending, nullptr);
  });
}

BFRC CiSignalWaitEx(Bd board, CiSIGNAL *signal, uint32_t timeout_ms, uint32_t *num_pending,
                    CiSIGNAL_INFO *info) {
  return Gate<BFRC>("CiSignalWaitEx", {timeout_ms}, OfSignal(signal), [&]() -> BFRC {
    if (info == nullptr) return BF_ERR_BAD_ARG;
    return bfsim::api::Wait(board, signal, timeout_ms, num_pending, info);
  });
}

BFRC CiSignalCancel(Bd board, CiSIGNAL *signal) {
  return Gate<BFRC>("CiSignalCancel", {}, OfSignal(signal), [&]() -> BFRC {
    return bfsim::api::OnSignal(board, signal, [](bfsim::model::Signal &s) { s.Cancel(); });
  });
}

BFRC CiSignalQueueClear(Bd board, CiSIGNAL *signal) {
  return Gate<BFRC>("CiSignalQueueClear", {}, OfSignal(signal), [&]() -> BFRC {
    return bfsim::api::OnSignal(board, signal, [](bfsim::model::Signal &s) { s.Clear(); });
  });
}

BFRC CiSignalFree(Bd board, CiSIGNAL *signal) {
  return Gate<BFRC>("CiSignalFree", {}, OfSignal(signal), [&]() -> BFRC {
    if (signal == nullptr) return BF_ERR_BAD_ARG;
    if (signal->impl == nullptr) return BF_ERR_SIGNAL;
    // The record is left as it is: another thread may be reading it in a
    // wait, and the freed id is never handed out again.
    return ToCode(Sys().FreeSignal(IdOf(board), IdOf(signal->impl)));
  });
}

}  // extern "C"
