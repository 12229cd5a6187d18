// sdk_layer.hpp — the SDK layer's own helpers: handles as the C API sees
// them, and the SDK error number of each model outcome.
#pragma once

#include <cstdint>

#include "bfsdk.h"
#include "model/status.hpp"
#include "model/system.hpp"

namespace bfsim::api {

// Handles are model ids carried in pointer-typed values; they are never
// dereferenced, so a stale or made-up handle can only fail a lookup.
inline uint64_t IdOf(const void *handle) { return reinterpret_cast<uintptr_t>(handle); }
template <typename T>
T HandleOf(uint64_t id) {
  return reinterpret_cast<T>(static_cast<uintptr_t>(id));
}

// Everything the open calls need to know of a found board.
inline constexpr uint32_t kEntryMagic = 0x42454e54;
void FillEntry(CiENTRY &entry, uint32_t position, uint64_t generation);

inline BFRC ToCode(model::Status status) {
  switch (status) {
    case model::Status::kOk:
      return BF_OK;
    case model::Status::kNoBoard:
      return BF_ERR_NO_BOARD;
    case model::Status::kBadArg:
      return BF_ERR_BAD_ARG;
    case model::Status::kBadFamily:
      return BF_ERR_BAD_BRD_TYPE;
    case model::Status::kHeld:
      return BF_ERR_BRD_HELD;
    case model::Status::kNoCamera:
      return BF_ERR_NO_CAMERA;
    case model::Status::kBadItem:
      return BF_ERR_BAD_ITEM;
    case model::Status::kSignalGone:
      return BF_ERR_SIGNAL;
    case model::Status::kDriverNotReady:
      return BF_ERR_DRV_NOT_READY;
  }
  return BF_ERR_BAD_ARG;
}

inline model::System &Sys() { return model::System::Get(); }

}  // namespace bfsim::api
