// The acquisition engine's bookkeeping: frames, region, and the registers the
// board drives from them.
#include "model/acquisition.hpp"

#include "bfsim_control.hpp"
#include "model/board.hpp"
#include "model/lines.hpp"
#include "model/registers.hpp"

namespace bfsim::model {
namespace {

constexpr uint32_t kStatusArmed = 3;
constexpr uint32_t kWidthStep = 4;

const bfsdk::RegisterIds &Ids() { return bfsdk::RegistersOf(bfsim::Version()); }

void Drive(Board &board, uint32_t id, uint32_t value) {
  WriteRegister(board, id, value, 0xFFFFFFFFu, true);
}

}  // namespace

Region WindowOf(const Board &board) {
  if (board.acq.region) return *board.acq.region;
  const Camera &camera = board.CurrentCamera();
  return Region{0, 0, camera.width, camera.height};
}

Status CheckRegion(const Camera &camera, const Region &r) {
  if (r.width == 0 || r.height == 0) return Status::kBadArg;
  if (uint64_t{r.column} + r.width > camera.width) return Status::kBadArg;
  if (uint64_t{r.row} + r.height > camera.height) return Status::kBadArg;
  const bool full_width = r.column == 0 && r.width == camera.width;
  if (r.width % kWidthStep != 0 && !full_width) return Status::kBadArg;
  return Status::kOk;
}

PixelFormat PixelFormatOf(const Camera &camera, uint32_t format) {
  const bool second = format == kFormatSecond;
  const uint32_t depth = second ? camera.depth2 : camera.depth;
  return PixelFormat{depth, second ? camera.bytes_per_pixel2 : camera.bytes_per_pixel,
                     IsColorDepth(depth, camera.color)};
}

uint32_t FrameBytes(const Board &board) {
  const Region window = WindowOf(board);
  const uint64_t bytes = uint64_t{window.width} * window.height *
                         PixelFormatOf(board.CurrentCamera(), board.acq.format).bytes_per_pixel;
  return static_cast<uint32_t>(bytes);
}

uint32_t QuickSwitchPositionA(const Region &window) { return window.column << 16 | window.width; }

uint32_t QuickSwitchPositionB(const Region &window) { return window.row << 16 | window.height; }

bool StartStopMode(const Board &board) {
  return board.trigger.mode == BF_TRIGMODE_START_STOP ||
         board.trigger.mode == BF_TRIGMODE_START_STOP_2;
}

uint32_t NextFrameLines(const Board &board) {
  const std::vector<uint32_t> &lines = board.CurrentCamera().start_stop_lines;
  if (StartStopMode(board) && !lines.empty()) {
    return lines[board.acq.start_stop_next % lines.size()];
  }
  return WindowOf(board).height;
}

FrameSpec TakeFrame(Board &board, uint32_t format) {
  FrameSpec frame;
  frame.number = board.acq.frames;
  frame.window = WindowOf(board);
  frame.lines = NextFrameLines(board);
  frame.pixel = PixelFormatOf(board.CurrentCamera(), format);
  const size_t entries = board.CurrentCamera().start_stop_lines.size();
  if (StartStopMode(board) && entries != 0) {
    board.acq.start_stop_next = static_cast<uint32_t>((board.acq.start_stop_next + 1) % entries);
  }
  return frame;
}

void FinishFrame(Board &board, const FrameSpec &frame) {
  Acquisition &acq = board.acq;
  acq.frames = frame.number + 1;
  acq.last_lines = frame.lines;
  const bfsdk::RegisterIds &ids = Ids();
  Drive(board, ids.encoder_count, ReadRegister(board, ids.encoder_count) + frame.lines);
  Drive(board, ids.cam_sampled, static_cast<uint32_t>(acq.frames));
  Drive(board, ids.end_of_exposure, 1);
  if (acq.armed == Armed::kSnap) {
    acq.armed = Armed::kIdle;
    Drive(board, ids.lines_to_go, 0);
  } else {
    Drive(board, ids.lines_to_go, NextFrameLines(board));
  }
  SyncRegisters(board);
}

void Arm(Board &board, Armed mode) {
  board.acq.armed = mode;
  const bfsdk::RegisterIds &ids = Ids();
  Drive(board, ids.end_of_exposure, 0);  // a new frame is awaited
  Drive(board, ids.lines_to_go, NextFrameLines(board));
  SyncRegisters(board);
}

void Disarm(Board &board) {
  board.acq.armed = Armed::kIdle;
  SyncRegisters(board);
}

void SyncRegisters(Board &board) {
  const bfsdk::RegisterIds &ids = Ids();
  const uint32_t status = board.acq.armed != Armed::kIdle ? kStatusArmed : 0;
  for (uint32_t id : {ids.acq_status_a, ids.acq_status_b, ids.rv_status_a, ids.rv_status_b,
                      ids.gn2_status_a, ids.gn2_status_b}) {
    Drive(board, id, status);
  }
  Drive(board, ids.acq_busy, board.acq.armed == Armed::kSnap ? 1 : 0);
  const uint32_t connected = board.camera_connected ? 1 : 0;
  Drive(board, ids.alta_connected, connected);
  for (uint32_t id : ids.cxp_link) Drive(board, id, connected);
  const Region window = WindowOf(board);
  Drive(board, ids.qs_pos_a, QuickSwitchPositionA(window));
  Drive(board, ids.qs_pos_b, QuickSwitchPositionB(window));
  Drive(board, ids.qs_frame, static_cast<uint32_t>(board.acq.qs.frames));
  SyncLineRegisters(board);
}

void ResetAcquisition(Board &board) {
  board.acq = Acquisition{};
  board.devices = BoardDevices{};
  board.devices.gpout = board.config.gpout;
  SyncRegisters(board);
}

}  // namespace bfsim::model
