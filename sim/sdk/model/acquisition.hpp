// acquisition.hpp — a board's acquisition engine: what is armed, the DMA
// engine and the chain it fills, the region, the devices beside it, and the
// board-driven registers that show all this.
#pragma once

#include <cstdint>
#include <optional>

#include "bfsdk.h"
#include "model/control_table.hpp"
#include "model/lut.hpp"
#include "model/pattern.hpp"
#include "model/status.hpp"
#include "model/timing_generator.hpp"

namespace bfsim::model {

struct Board;
struct Camera;

// The window of the camera's frame that the board acquires.
struct Region {
  uint32_t column = 0;
  uint32_t row = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

enum class Armed : uint8_t { kIdle, kSnap, kContinuous };

// Pixel formats of a QTab and of CiConAqMode.
inline constexpr uint32_t kFormatCamera = BF_FORMAT_CAMERA;
inline constexpr uint32_t kFormatSecond = BF_FORMAT_SECOND_DEPTH;

// Quick Switch mode: frames come only when the plug-in names the next one.
struct QuickSwitchState {
  bool on = false;
  bool next_set = false;  // a next frame is programmed and not yet delivered
  uint64_t qtab = 0;      // the QTab it fills
  uint64_t frames = 0;    // delivered since the board was opened
};

// Acquisition mode of CiConAqMode under which Quick Switch frames are taken.
inline constexpr uint32_t kAqModeQuickSwitch = 4;

struct Acquisition {
  Armed armed = Armed::kIdle;
  bool dma_running = false;
  uint64_t chain = 0;     // engaged chain, 0 none
  uint32_t position = 0;  // entry of the chain the next frame fills
  uint64_t frames = 0;    // produced since the board was opened: the next frame's number
  uint32_t last_lines = 0;
  uint32_t start_stop_next = 0;  // entry of the camera's line list the next frame takes
  bool overflowed = false;       // since the last overflow check
  std::optional<Region> region;
  uint32_t format = kFormatCamera;
  // The clock as it was last told: running or paused, rate, and the epoch a
  // tick must carry to produce a frame.
  bool clock_running = false;
  uint32_t clock_rate = 0;
  uint64_t clock_epoch = 0;
  QuickSwitchState qs;
};

// State the board keeps for the plug-in beside the acquisition.
struct BoardDevices {
  uint32_t gpout = 0;
  uint32_t lut_bits = 0;  // last mask set, 0 none
  uint8_t lut_type = 0;
  uint32_t interrupts = 0;  // enabled interrupt numbers, one bit each
  uint32_t int_mode = 0;
  uint32_t ctab_resets = 0;
  bool sip_enabled = false;
  LutMemory lut;
  ControlTable ctab;
  TimingSettings timing;
};

// One frame as the camera delivers it through the region.
struct FrameSpec {
  uint64_t number = 0;
  Region window;       // camera pixels; window.height is ignored, see lines
  uint32_t lines = 0;  // lines of this frame
  PixelFormat pixel;
};

// The window frames are cut to: the region, or the whole camera frame.
Region WindowOf(const Board &board);
// A region must lie inside the camera's frame, be non-empty, and have a
// width divisible by 4 unless it is the camera's full width.
Status CheckRegion(const Camera &camera, const Region &region);
// Bytes of one frame at the region and the board's current format (camera
// files are bounded so that this fits).
uint32_t FrameBytes(const Board &board);
PixelFormat PixelFormatOf(const Camera &camera, uint32_t format);

// What the Quick Switch position registers read for a window.
uint32_t QuickSwitchPositionA(const Region &window);
uint32_t QuickSwitchPositionB(const Region &window);

bool StartStopMode(const Board &board);
// Lines of the frame the board waits for now (start/stop mode: the next
// entry of the camera's line list).
uint32_t NextFrameLines(const Board &board);
// The next frame in the QTab's format; takes the start/stop entry.
FrameSpec TakeFrame(Board &board, uint32_t format);
// Counters and registers after a frame; a snap ends with it.
void FinishFrame(Board &board, const FrameSpec &frame);

void Arm(Board &board, Armed mode);
// Acquisition stops; lines-to-go keeps what the awaited frame still needed.
void Disarm(Board &board);
// Everything the board drives itself: status, busy, connection.
void SyncRegisters(Board &board);
// The registers and state of a board opened anew.
void ResetAcquisition(Board &board);

}  // namespace bfsim::model
