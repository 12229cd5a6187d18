// Set-up shared by the simulated SDK's acquisition tests: a board opened with
// a camera file, and a ring of QTabs over test-owned buffers, built the way
// the plug-in builds it (create, make physical, link, engage, start DMA).
#pragma once

#include <cstdint>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim_fixture.hpp"

namespace bfsim_test {

inline std::string ShippedCamera(const std::string &name) {
  return std::string(GRABLINE_SOURCE_DIR) + "/cameras/" + name;
}

// Writes `text` to a camera file in the test's temporary directory.
inline std::string TempCamera(const std::string &name, const std::string &text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Buffers and their QTab records. The records live in one array, as the
// plug-in keeps them, and must not move while the SDK knows them.
struct Ring {
  std::vector<std::vector<uint8_t>> buffers;
  std::unique_ptr<RQTabHeadRec[]> records;
  std::vector<RQTabHeadPtr> list;
};

// Every board runs on the manual clock unless a test starts the clock.
class SimAcqTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ManualClocks();
  }
  void Load(std::string_view text) {
    SimTest::Load(text);
    ManualClocks();
  }
  void ManualClocks() {
    for (uint32_t n = 0; n < bfsim::Boards().size(); ++n) bfsim::SetManualClock(n, true);
  }

  // Opens board 0 of `family` (index `index`) with the camera file `path`.
  Bd OpenCamera(const std::string &path, uint32_t family = CISYS_TYPE_R64, uint32_t index = 0) {
    CiENTRY entry;
    Bd board = nullptr;
    EXPECT_EQ(CiSysBrdFind(family, index, &entry), BF_OK);
    EXPECT_EQ(CiBrdOpenCam(&entry, &board, 257, path.c_str()), BF_OK) << bfsim::LastCameraError();
    return board;
  }

  CiCam Camera(Bd board) {
    CiCam camera = nullptr;
    EXPECT_EQ(CiBrdCamGetCur(board, &camera), BF_OK);
    return camera;
  }

  uint32_t Inquire(Bd board, uint32_t item) {
    uint32_t value = 0;
    EXPECT_EQ(CiBrdInquire(board, item, &value), BF_OK) << std::hex << item;
    return value;
  }

  // Bytes of one line of the current frame in `format`.
  uint32_t LineBytes(Bd board, uint32_t format = 3) {
    return Inquire(board, BF_INQ_XSIZE) *
           Inquire(board, format == 4 ? BF_INQ_BYTES_PER_PIX2 : BF_INQ_BYTES_PER_PIX);
  }

  // `count` buffers of `size` bytes filled with `fill`, one QTab each with
  // line stride `stride` (0: one frame line); linked, engaged, DMA started.
  Ring &BuildRing(Bd board, uint32_t count, uint32_t size = 0, int32_t stride = 0,
                  uint32_t format = 3, uint8_t fill = 0xEE) {
    const uint32_t line = LineBytes(board, format);
    if (stride == 0) stride = static_cast<int32_t>(line);
    if (size == 0) size = line * Inquire(board, BF_INQ_YSIZE);
    Ring &ring = rings_.emplace_back();
    ring.records = std::make_unique<RQTabHeadRec[]>(count);
    for (uint32_t i = 0; i < count; ++i) {
      ring.buffers.emplace_back(size, fill);
      ring.records[i] = RQTabHeadRec{};
      ring.list.push_back(&ring.records[i]);
      EXPECT_EQ(CiRelQTabCreate(board, Camera(board), ring.buffers[i].data(), size, stride,
                                ring.list[i], format, 0, 1, 2, 0),
                BF_OK);
      EXPECT_EQ(CiPhysQTabCreate(board, ring.list[i], 0), BF_OK);
    }
    EXPECT_EQ(CiPhysQTabChainLink(board, ring.list.data(), count), BF_OK);
    EXPECT_EQ(CiPhysQTabChainEngage(board, ring.list.data(), 0), BF_OK);
    EXPECT_EQ(CiConDMACommand(board, BF_DMA_START, 1, 0, 0), BF_OK);
    return ring;
  }

  CiSIGNAL Signal(Bd board, uint32_t type) {
    CiSIGNAL signal{};
    EXPECT_EQ(CiSignalCreate(board, type, &signal), BF_OK);
    return signal;
  }

  // Takes every raise the signal has pending; returns how many.
  uint32_t Drain(Bd board, CiSIGNAL &signal) {
    uint32_t taken = 0;
    while (CiSignalWait(board, &signal, 0, nullptr) == BF_OK) ++taken;
    return taken;
  }

 private:
  std::deque<Ring> rings_;  // references to a ring stay valid as more are built
};

}  // namespace bfsim_test
