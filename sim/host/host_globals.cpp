// The host globals a plug-in reads, the switches that set them, and the host's
// global variable 64.
#include <atomic>

#include "host_internal.hpp"

extern "C" {
uint8_t TTraceMemory = 0;
int32_t TDoLowError = 0;
#if defined(TARVEL_BUILD_PAR)
TROInfoRec TROInfo = {};
#endif
}

namespace tarvel {
namespace {

constexpr int32_t kVariable64 = 64;
constexpr int32_t kModeWrite = 0;
constexpr int32_t kModeRead = 1;

std::atomic<int64_t> variable64{0};

}  // namespace

// The globals are plain C objects that plug-in threads read; the switches store them
// atomically so flipping one while a plug-in runs is not a data race on our side.
void SetTraceMemory(bool on) {
  std::atomic_ref<uint8_t>(TTraceMemory).store(on ? 1 : 0, std::memory_order_relaxed);
}

void SetLowError(bool on) {
  std::atomic_ref<int32_t>(TDoLowError).store(on ? 1 : 0, std::memory_order_relaxed);
}

int64_t GlobalVariable64() { return variable64.load(std::memory_order_relaxed); }
void SetGlobalVariable64(int64_t value) { variable64.store(value, std::memory_order_relaxed); }

}  // namespace tarvel

namespace tarvel {
namespace {

// `*value` is what was read or written.
Terr AccessGlVar(int32_t var, int32_t mode, int64_t *value_out, double value_in, int64_t *value) {
  if (var != kVariable64) return T_ERR_GLVAR;
  if (mode == kModeRead) {
    if (value_out == nullptr) return T_ERR_ARGUMENT;
    *value = GlobalVariable64();
    *value_out = *value;
    return T_MSG_OK;
  }
  if (mode == kModeWrite) {
    // The variable is an integer; a double outside its range (or NaN) has no value
    // to store, and converting it would be undefined.
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (!(value_in >= -kLimit && value_in < kLimit)) return T_ERR_GLVAR;
    *value = static_cast<int64_t>(value_in);
    SetGlobalVariable64(*value);
    return T_MSG_OK;
  }
  return T_ERR_GLVAR;
}

}  // namespace
}  // namespace tarvel

extern "C" Terr TAccessGlVar(Tproc_handle, int32_t var, int32_t mode, int64_t *value_out,
                             double value, char *, Tkey, int32_t) {
  int64_t accessed = 0;
  Terr result = tarvel::AccessGlVar(var, mode, value_out, value, &accessed);
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::internal::RecordHostCall("TAccessGlVar", {var, mode, accessed, 0}, nullptr, result);
  }
  return result;
}
