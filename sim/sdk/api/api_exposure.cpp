// The timing generator: exposure, period, trigger mode, polarity and output.
#include <bit>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

namespace {

using bfsim::model::Board;
using bfsim::model::TimingCheck;

BFRC CodeOf(TimingCheck check) {
  switch (check) {
    case TimingCheck::kOk:
      return BF_OK;
    case TimingCheck::kNotSupported:
      return BF_NTG_NOT_SUPPORTED;
    case TimingCheck::kOutOfRange:
      return BF_NTG_OUT_OF_RANGE;
    case TimingCheck::kExposureLong:
      return BF_NTG_EXPOSURE_LONG;
    case TimingCheck::kBadMode:
      return BF_NTG_BAD_MODE;
  }
  return BF_ERR_BAD_ARG;
}

}  // namespace

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;

extern "C" {

// Exposure and period are recorded as the bit patterns of their doubles.
BFRC CiConExposureControlSet(Bd board, double exposure, double period, uint32_t trig_mode,
                             uint32_t assert_high, uint32_t output) {
  return Gate<BFRC>("CiConExposureControlSet",
                    {std::bit_cast<uint64_t>(exposure), std::bit_cast<uint64_t>(period), trig_mode,
                     assert_high, output},
                    OnBoard(board), [&]() -> BFRC {
                      BFRC result = BF_ERR_BAD_ARG;
                      Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
                        if (!b.config.timing_generator) {
                          result = BF_NTG_NOT_SUPPORTED;
                          return;
                        }
                        const bfsim::model::TimingSettings wanted{exposure, period, trig_mode,
                                                                  assert_high, output};
                        result = CodeOf(bfsim::model::CheckTiming(wanted));
                        if (result == BF_OK) b.devices.timing = wanted;
                      });
                      return result;
                    });
}

BFRC CiConExposureControlGet(Bd board, double *exposure, double *period, uint32_t *trig_mode,
                             uint32_t *assert_high, uint32_t *output) {
  return Gate<BFRC>("CiConExposureControlGet", {}, OnBoard(board), [&]() -> BFRC {
    if (exposure == nullptr || period == nullptr || trig_mode == nullptr ||
        assert_high == nullptr || output == nullptr) {
      return BF_ERR_BAD_ARG;
    }
    BFRC result = BF_ERR_BAD_ARG;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      if (!b.config.timing_generator) {
        result = BF_NTG_NOT_SUPPORTED;
        return;
      }
      const bfsim::model::TimingSettings &t = b.devices.timing;
      *exposure = t.exposure;
      *period = t.period;
      *trig_mode = t.trig_mode;
      *assert_high = t.assert_high;
      *output = t.output;
      result = BF_OK;
    });
    return result;
  });
}

}  // extern "C"
