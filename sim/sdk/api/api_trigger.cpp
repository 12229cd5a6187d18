// Trigger mode and the external trigger input.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

namespace {

constexpr uint32_t kMaxTriggerMode = BF_TRIGMODE_START_STOP_2;

// What the trigger input reads while asserted; the numbers differ between
// SDK versions and with the board's third trigger value.
uint32_t AssertedState(uint32_t trig_c) {
  const bool xl = bfsim::Version() == bfsdk::SdkVersion::kXl;
  if (trig_c == BF_TRIGGERED_C) return xl ? 12 : 22;
  return xl ? 11 : 21;
}

}  // namespace

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

// The three further values are optional outputs: callers that want only the
// mode may pass null for them.
BFRC CiConVTrigModeGet(Bd board, uint32_t *mode, uint32_t *trig_a, uint32_t *trig_b,
                       uint32_t *trig_c) {
  return Gate<BFRC>("CiConVTrigModeGet", {}, OnBoard(board), [&]() -> BFRC {
    if (mode == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      *mode = b.trigger.mode;
      if (trig_a != nullptr) *trig_a = b.trigger.a;
      if (trig_b != nullptr) *trig_b = b.trigger.b;
      if (trig_c != nullptr) *trig_c = b.trigger.c;
    }));
  });
}

BFRC CiConVTrigModeSet(Bd board, uint32_t mode, uint32_t trig_a, uint32_t trig_b, uint32_t trig_c) {
  return Gate<BFRC>("CiConVTrigModeSet", {mode, trig_a, trig_b, trig_c}, OnBoard(board),
                    [&]() -> BFRC {
                      if (mode > kMaxTriggerMode) return BF_ERR_BAD_ARG;
                      return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
                        b.trigger.mode = mode;
                        b.trigger.a = trig_a;
                        b.trigger.b = trig_b;
                        b.trigger.c = trig_c;
                      }));
                    });
}

BFRC CiConExTrigConnect(Bd board, uint32_t trigger, uint32_t how) {
  return Gate<BFRC>("CiConExTrigConnect", {trigger, how}, OnBoard(board), [&]() -> BFRC {
    if (trigger != BF_TRIG_INPUT || (how != BF_TRIG_CONNECT && how != BF_TRIG_DISCONNECT)) {
      return BF_ERR_BAD_ARG;
    }
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      b.trigger.external_connected = how == BF_TRIG_CONNECT;
    }));
  });
}

// A pulse while the board waits for a trigger takes a frame; otherwise it is
// lost, as on the hardware.
BFRC CiConSwTrig(Bd board, uint32_t trigger, uint32_t how) {
  return Gate<BFRC>("CiConSwTrig", {trigger, how}, OnBoard(board), [&]() -> BFRC {
    if (trigger != BF_TRIG_INPUT || how != BF_TRIG_PULSE) return BF_ERR_BAD_ARG;
    return ToCode(Sys().SoftwareTrigger(IdOf(board)));
  });
}

BFRC CiConHwTrigStat(Bd board, uint32_t trigger, uint32_t *state) {
  return Gate<BFRC>("CiConHwTrigStat", {trigger}, OnBoard(board), [&]() -> BFRC {
    if (trigger != BF_TRIG_INPUT || state == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      *state = b.trigger_input ? AssertedState(b.trigger.c) : 0;
    }));
  });
}

}  // extern "C"
