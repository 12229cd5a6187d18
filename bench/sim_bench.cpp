// The simulated board's frame production on its own: frames rendered into a
// ring of QTabs by the DMA model, with nobody waiting on the signals, beside
// memcpy of the same bytes into the same ring. The free-running camera can
// only keep its rate when a frame costs well below its period.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bfsdk.h"
#include "bfsim_control.hpp"

namespace grabline {
namespace {

constexpr uint32_t kRing = 4;

std::string GrayCamera(int width, int height) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("grabline_sim_bench_" + std::to_string(static_cast<long>(getpid())) + "_" +
                     std::to_string(width) + "x" + std::to_string(height) + ".cam");
  std::ofstream(path) << "width = " << width << "\nheight = " << height << "\ndepth = 8\n";
  return path.string();
}

// Board 0 open on the manual clock with a ring of kRing frame buffers,
// acquiring continuously.
struct Board {
  Board(benchmark::State &state, int width, int height)
      : bytes(uint64_t(width) * uint64_t(height)) {
    bfsim::Reset();
    bfsim::SetManualClock(0, true);
    CiENTRY entry;
    if (CiSysBrdFind(CISYS_TYPE_R64, 0, &entry) != BF_OK ||
        CiBrdOpenCam(&entry, &board, 257, GrayCamera(width, height).c_str()) != BF_OK ||
        CiBrdCamGetCur(board, &camera) != BF_OK) {
      state.SkipWithError("board not opened");
      return;
    }
    for (uint32_t i = 0; i < kRing; ++i) {
      buffers.emplace_back(bytes, 0);
      records[i] = RQTabHeadRec{};
      list[i] = &records[i];
      if (CiRelQTabCreate(board, camera, buffers[i].data(), static_cast<uint32_t>(bytes), width,
                          list[i], 3, 0, 1, 2, 0) != BF_OK ||
          CiPhysQTabCreate(board, list[i], 0) != BF_OK) {
        state.SkipWithError("QTab refused");
        return;
      }
    }
    if (CiPhysQTabChainLink(board, list, kRing) != BF_OK ||
        CiPhysQTabChainEngage(board, list, 0) != BF_OK ||
        CiConDMACommand(board, BF_DMA_START, 1, 0, 0) != BF_OK ||
        CiConAqCommand(board, BF_CONAQ_GRAB, 0) != BF_OK) {
      state.SkipWithError("acquisition not started");
    }
  }
  ~Board() {
    if (board == nullptr) return;
    CiConAqCommand(board, BF_CONAQ_ABORT, 0);
    for (uint32_t i = 0; i < buffers.size(); ++i) {
      CiPhysQTabFree(board, list[i]);
      CiRelQTabFree(board, list[i]);
    }
    CiBrdClose(board);
  }
  Board(const Board &) = delete;
  Board &operator=(const Board &) = delete;

  uint64_t bytes;
  Bd board = nullptr;
  CiCam camera = nullptr;
  std::vector<std::vector<uint8_t>> buffers;
  RQTabHeadRec records[kRing];
  RQTabHeadPtr list[kRing];
};

void SimFill(benchmark::State &state, int width, int height) {
  Board b(state, width, height);
  for (auto _ : state) {
    if (bfsim::DeliverFrames(0, 1) != 1) {
      state.SkipWithError("frame not produced");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.bytes));
}

void RingMemcpy(benchmark::State &state, int width, int height) {
  Board b(state, width, height);
  std::vector<uint8_t> source(b.bytes, 0x5A);
  uint32_t i = 0;
  for (auto _ : state) {
    std::memcpy(b.buffers[i].data(), source.data(), b.bytes);
    benchmark::ClobberMemory();
    i = i + 1 == kRing ? 0 : i + 1;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.bytes));
}

const bool kRegistered = [] {
  for (const auto &[w, h] : {std::pair{64, 64}, std::pair{4096, 3072}}) {
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    benchmark::RegisterBenchmark(("SimFill/" + size).c_str(), SimFill, w, h)->UseRealTime();
    benchmark::RegisterBenchmark(("SimFill/" + size + "/memcpy").c_str(), RingMemcpy, w, h)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace
}  // namespace grabline
