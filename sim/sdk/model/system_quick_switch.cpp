// Quick Switch mode: the board alternates between regions, each filling a
// chain of its own. Nothing arrives by the clock; every frame is programmed
// by the next-frame call and taken at the software trigger after it, so
// tests see each frame the moment they ask for it.
#include <algorithm>
#include <cstdlib>

#include "model/registers.hpp"
#include "model/system.hpp"

namespace bfsim::model {
namespace {

// The window a QTab's buffer describes: lines of |stride| bytes, each a row
// of pixels of the QTab's format.
bool QTabWindow(const QTab &qtab, const Camera &camera, Region &window) {
  const uint32_t bytes = PixelFormatOf(camera, qtab.format).bytes_per_pixel;
  const uint64_t pitch = static_cast<uint64_t>(std::llabs(int64_t{qtab.stride}));
  if (bytes == 0 || pitch % bytes != 0) return false;
  window = Region{0, 0, static_cast<uint32_t>(pitch / bytes), qtab.Lines()};
  return window.width != 0 && window.height != 0;
}

}  // namespace

Status System::SetQuickSwitchMode(uint64_t handle, bool on) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  QuickSwitchState &qs = boards_[position].acq.qs;
  qs.on = on;
  qs.next_set = false;
  SyncClock(position);  // the free-running clock stops while the mode is on
  return Status::kOk;
}

Status System::SetQuickSwitchNext(uint64_t handle, uint64_t first, uint32_t index, uint32_t pos_a,
                                  uint32_t pos_b) {
  std::lock_guard lock(mutex_);
  uint32_t position = 0;
  Status status = OpenPosition(handle, position);
  if (status != Status::kOk) return status;
  Board &board = boards_[position];
  if (!board.acq.qs.on) return Status::kBadArg;
  const QTab *head = qtabs_.Find(first, position);
  if (head == nullptr || head->chain == 0) return Status::kBadArg;
  const std::vector<uint64_t> *chain = qtabs_.Chain(head->chain);
  if (chain == nullptr || index >= chain->size()) return Status::kBadArg;
  const QTab *target = qtabs_.Find((*chain)[index], position);
  Region window;
  if (target == nullptr || !QTabWindow(*target, board.CurrentCamera(), window)) {
    return Status::kBadArg;
  }
  // The positions come from the registers the region's size set; values
  // of another size would have the board cut frames that miss the buffer.
  if (board.config.family != kFamilyGn2 &&
      (pos_a != QuickSwitchPositionA(window) || pos_b != QuickSwitchPositionB(window))) {
    return Status::kBadArg;
  }
  board.acq.qs.qtab = (*chain)[index];
  board.acq.qs.next_set = true;
  return Status::kOk;
}

bool System::ProduceQuickSwitchFrame(uint32_t position) {
  Board &board = boards_[position];
  Acquisition &acq = board.acq;
  if (!acq.qs.next_set || acq.format != kAqModeQuickSwitch || acq.armed != Armed::kContinuous ||
      !acq.dma_running || !board.camera_connected) {
    return false;
  }
  acq.qs.next_set = false;
  const QTab *qtab = qtabs_.Find(acq.qs.qtab, position);
  Region window;
  if (qtab == nullptr || qtab->chain == 0 || !QTabWindow(*qtab, board.CurrentCamera(), window)) {
    return false;  // freed since it was named
  }
  const Camera &camera = board.CurrentCamera();
  FrameSpec frame;
  frame.number = acq.frames;
  frame.window = window;
  frame.window.width = std::min(window.width, camera.width);
  frame.lines = std::min(window.height, camera.height);
  frame.pixel = PixelFormatOf(camera, qtab->format);
  WriteFrame(*qtab, frame, board.pattern_rows);
  ++acq.qs.frames;
  FinishFrame(board, frame);
  RaiseFrameEvents(position, frame, FineTick());
  return true;
}

}  // namespace bfsim::model
