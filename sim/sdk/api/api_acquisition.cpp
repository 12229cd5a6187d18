// Acquisition and DMA commands, the region, interrupts and the board's clock.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/programmed.hpp"
#include "api/sdk_layer.hpp"

namespace bfsim::api {
namespace {

using model::Armed;
using model::Board;

constexpr uint32_t kWaitForEffect = 1;
constexpr uint32_t kReturnAtOnce = 2;
constexpr uint32_t kInterrupts = 32;
constexpr uint64_t kXlFineRate = model::kFineTicksPerSecond;

BFRC SetRegion(Bd board, const model::Region &region) {
  BFRC result = BF_ERR_BAD_ARG;
  Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
    result = ToCode(model::CheckRegion(b.CurrentCamera(), region));
    if (result != BF_OK) return;
    b.acq.region = region;
    model::SyncRegisters(b);  // the Quick Switch position registers read the new size
  });
  return result;
}

}  // namespace
}  // namespace bfsim::api

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Armed;
using bfsim::model::Board;
using Dma = bfsim::model::System::Dma;

extern "C" {

BFRC CiConAqMode(Bd board, uint32_t format) {
  return Gate<BFRC>("CiConAqMode", {format}, OnBoard(board), [&]() -> BFRC {
    if (format != BF_FORMAT_CAMERA && format != BF_FORMAT_SECOND_DEPTH) {
      return BF_ERR_BAD_ARG;
    }
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { b.acq.format = format; }));
  });
}

BFRC CiShutdown(Bd board, uint32_t flags) {
  return Gate<BFRC>("CiShutdown", {flags}, OnBoard(board),
                    [&]() -> BFRC { return ToCode(Sys().Shutdown(IdOf(board))); });
}

BFRC CiConDMACommand(Bd board, uint32_t command, uint32_t a, uint32_t b, uint32_t c) {
  return Gate<BFRC>("CiConDMACommand", {command, a, b, c}, OnBoard(board), [&]() -> BFRC {
    switch (command) {
      case BF_DMA_START:
        return ToCode(Sys().DmaCommand(IdOf(board), Dma::kStart));
      case BF_DMA_ABORT:
        return ToCode(Sys().DmaCommand(IdOf(board), Dma::kAbort));
      case BF_DMA_RESET:
        return ToCode(Sys().DmaCommand(IdOf(board), Dma::kReset));
      default:
        return BF_ERR_BAD_ARG;
    }
  });
}

// Frames are complete the moment they exist, so waiting for a command to take
// effect and returning at once come to the same.
BFRC CiAqCommand(Bd board, uint32_t command, uint32_t wait, uint32_t a, uint32_t b) {
  return Gate<BFRC>("CiAqCommand", {command, wait, a, b}, OnBoard(board), [&]() -> BFRC {
    if (wait != bfsim::api::kWaitForEffect && wait != bfsim::api::kReturnAtOnce) {
      return BF_ERR_BAD_ARG;
    }
    switch (command) {
      case BF_AQ_ABORT:
      case BF_AQ_STOP:
        return ToCode(Sys().Acquire(IdOf(board), Armed::kIdle));
      case BF_AQ_SNAP:
        return ToCode(Sys().Acquire(IdOf(board), Armed::kSnap));
      case BF_AQ_GRAB:
        return ToCode(Sys().Acquire(IdOf(board), Armed::kContinuous));
      default:
        return BF_ERR_BAD_ARG;
    }
  });
}

BFRC CiConAqCommand(Bd board, uint32_t command, uint32_t flags) {
  return Gate<BFRC>("CiConAqCommand", {command, flags}, OnBoard(board), [&]() -> BFRC {
    switch (command) {
      case BF_CONAQ_ABORT:
        return ToCode(Sys().Acquire(IdOf(board), Armed::kIdle));
      case BF_CONAQ_SNAP:
        return ToCode(Sys().Acquire(IdOf(board), Armed::kSnap));
      case BF_CONAQ_GRAB:
        return ToCode(Sys().Acquire(IdOf(board), Armed::kContinuous));
      default:
        return BF_ERR_BAD_ARG;
    }
  });
}

// Reports an overflow once: the check clears it.
BFRC CiAqOverflowCheck(Bd board, uint32_t *overflowed) {
  return Gate<BFRC>("CiAqOverflowCheck", {}, OnBoard(board), [&]() -> BFRC {
    if (overflowed == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      *overflowed = b.acq.overflowed ? 1 : 0;
      b.acq.overflowed = false;
    }));
  });
}

BFRC CiAqLastLine(Bd board, uint32_t *line, uint32_t flags) {
  return Gate<BFRC>("CiAqLastLine", {flags}, OnBoard(board), [&]() -> BFRC {
    if (line == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { *line = b.acq.last_lines + 1; }));
  });
}

BFRC CiAqROISet(Bd board, uint32_t column, uint32_t row, uint32_t width, uint32_t height,
                uint32_t flags) {
  return Gate<BFRC>("CiAqROISet", {column, row, width, height, flags}, OnBoard(board),
                    [&]() -> BFRC {
                      return bfsim::api::SetRegion(board, {column, row, width, height});
                    });
}

BFRC CiAqFrameSize(Bd board, uint32_t width, uint32_t height, uint32_t flags) {
  return Gate<BFRC>("CiAqFrameSize", {width, height, flags}, OnBoard(board), [&]() -> BFRC {
    return bfsim::api::SetRegion(board, {0, 0, width, height});
  });
}

BFRC CiConInt(Bd board, uint32_t interrupt, uint32_t enable) {
  return Gate<BFRC>("CiConInt", {interrupt, enable}, OnBoard(board), [&]() -> BFRC {
    if (interrupt >= bfsim::api::kInterrupts || enable > 1) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      const uint32_t bit = 1u << interrupt;
      b.devices.interrupts = enable != 0 ? b.devices.interrupts | bit : b.devices.interrupts & ~bit;
    }));
  });
}

BFRC CiConIntModeSet(Bd board, uint32_t mode) {
  return Gate<BFRC>("CiConIntModeSet", {mode}, OnBoard(board), [&]() -> BFRC {
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { b.devices.int_mode = mode; }));
  });
}

BFRC CiConCTabReset(Bd board) {
  return Gate<BFRC>("CiConCTabReset", {}, OnBoard(board), [&]() -> BFRC {
    return ToCode(
        Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { ++b.devices.ctab_resets; }));
  });
}

// Only the xl version's boards tell the rate of their fine time stamps,
// unless a test has set what they report.
uint64_t BFFineRate(Bd board) {
  return Gate<uint64_t>("BFFineRate", {}, OnBoard(board), [&]() -> uint64_t {
    uint64_t rate = 0;
    Sys().WithBoard(IdOf(board), [&](Board &, uint32_t position) {
      rate = bfsim::api::ProgrammedFineRate(position).value_or(
          bfsim::Version() == bfsdk::SdkVersion::kXl ? bfsim::api::kXlFineRate : 0);
    });
    return rate;
  });
}

uint32_t BFGetVFGNum(Bd board) {
  return Gate<uint32_t>("BFGetVFGNum", {}, OnBoard(board), [&] {
    uint32_t vfg = 0;
    Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) { vfg = b.config.vfg; });
    return vfg;
  });
}

}  // extern "C"
