// Error display, debug output, bounded formatting and ticks.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"
#include "model/logs.hpp"
#include "model/versions.hpp"

using bfsim::api::Gate;
using bfsim::api::GateVoid;
using bfsim::api::HandingText;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::model::Board;

extern "C" {

void BFErrorShow(Bd board) {
  GateVoid("BFErrorShow", {}, OnBoard(board), [&] {
    uint32_t position = 0;
    std::string model;
    bool found = Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t p) {
      position = p;
      model = b.config.model;
    }) == bfsim::model::Status::kOk;
    if (found) bfsim::model::LogErrorShow(position, model);
  });
}

void BFOutputDebugString(const char *text) {
  GateVoid("BFOutputDebugString", {}, HandingText(text), [&] {
    if (text != nullptr) bfsim::model::LogDebugOutput(text);
  });
}

// Returns the characters stored (the text may be cut to fit), not the
// length the full text would have had, so the result can index the buffer.
// The buffer always ends up terminated, even when a fault skips the work.
int BFsprintf(char *buffer, size_t size, const char *format, ...) {
  bfsim::api::Entered call = bfsim::api::Enter("BFsprintf", {size}, bfsim::api::Plain{});
  const std::optional<uint32_t> fault = call.fault;
  int stored = -1;
  if (buffer != nullptr && size > 0) {
    buffer[0] = '\0';
    if (!fault && format != nullptr) {
      va_list args;
      va_start(args, format);
      int length = std::vsnprintf(buffer, size, format, args);
      va_end(args);
      if (length < 0) buffer[0] = '\0';
      if (length >= 0) stored = static_cast<size_t>(length) < size ? length : int(size - 1);
    }
  }
  if (fault) stored = static_cast<int>(*fault);
  bfsim::api::ReturnCall(call, static_cast<uint32_t>(stored));
  return stored;
}

BFRC BFGetBuildTarget(uint32_t *target) {
  return Gate<BFRC>("BFGetBuildTarget", {}, [&]() -> BFRC {
    if (target == nullptr) return BF_ERR_BAD_ARG;
    *target = bfsim::model::BuildTarget().load();
    return BF_OK;
  });
}

uint64_t BFTick(void) {
  return Gate<uint64_t>("BFTick", {}, [] {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  });
}

// Ticks kept in 32 bits wrap after 49 days: an end below the start is taken
// as such a wrap. Longer spans of full ticks saturate.
uint32_t BFTickDelta(uint64_t start, uint64_t end) {
  return Gate<uint32_t>("BFTickDelta", {start, end}, [&] {
    uint64_t delta = end - start;
    if (end >= start) return delta > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(delta);
    return static_cast<uint32_t>(delta);
  });
}

}  // extern "C"
