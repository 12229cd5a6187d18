// QTabs and the DMA write into them.
#include "model/qtab.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace bfsim::model {

uint32_t QTab::Lines() const {
  const uint64_t pitch = static_cast<uint64_t>(std::llabs(int64_t{stride}));
  return pitch == 0 ? 0 : static_cast<uint32_t>(size / pitch);
}

bool QTabTable::Usable(uint64_t id) const {
  auto it = tabs_.find(id);
  return it != tabs_.end() && !it->second.orphan;
}

QTab *QTabTable::Find(uint64_t id, uint32_t board) {
  auto it = tabs_.find(id);
  if (it == tabs_.end() || it->second.board != board || it->second.orphan) return nullptr;
  return &it->second;
}

Status QTabTable::Link(uint32_t board, const std::vector<uint64_t> &ids, uint64_t chain_id) {
  if (ids.empty()) return Status::kBadArg;
  for (size_t i = 0; i < ids.size(); ++i) {
    const QTab *qtab = Find(ids[i], board);
    if (qtab == nullptr || !qtab->physical) return Status::kBadArg;
    if (std::find(ids.begin(), ids.begin() + static_cast<ptrdiff_t>(i), ids[i]) !=
        ids.begin() + static_cast<ptrdiff_t>(i)) {
      return Status::kBadArg;  // one buffer twice in a ring
    }
  }
  for (uint64_t id : ids) {
    QTab &qtab = tabs_[id];
    Unlink(qtab);
    qtab.chain = chain_id;
  }
  chains_[chain_id] = ids;
  return Status::kOk;
}

const std::vector<uint64_t> *QTabTable::Chain(uint64_t chain) const {
  auto it = chains_.find(chain);
  return it == chains_.end() ? nullptr : &it->second;
}

void QTabTable::Unlink(QTab &qtab) {
  if (qtab.chain == 0) return;
  auto it = chains_.find(qtab.chain);
  if (it != chains_.end()) {
    for (uint64_t member : it->second) {
      auto m = tabs_.find(member);
      if (m != tabs_.end()) m->second.chain = 0;
    }
    chains_.erase(it);
  }
  qtab.chain = 0;
}

Status QTabTable::Free(uint64_t id, uint32_t board, bool release) {
  QTab *qtab = Find(id, board);
  if (qtab == nullptr || (!release && !qtab->physical)) return Status::kBadArg;
  Unlink(*qtab);
  qtab->physical = false;
  if (release) tabs_.erase(id);
  return Status::kOk;
}

uint32_t QTabTable::Live(uint32_t board) const {
  return static_cast<uint32_t>(std::count_if(
      tabs_.begin(), tabs_.end(), [&](const auto &e) { return e.second.board == board; }));
}

void QTabTable::Orphan(uint32_t board) {
  for (auto &[id, qtab] : tabs_) {
    if (qtab.board != board) continue;
    Unlink(qtab);
    qtab.physical = false;
    qtab.orphan = true;
  }
}

void QTabTable::Clear() {
  tabs_.clear();
  chains_.clear();
}

void WriteFrame(const QTab &qtab, const FrameSpec &frame, PatternRows &rows) {
  const uint32_t buffer_lines = qtab.Lines();
  const uint32_t lines = std::min(frame.lines, buffer_lines);
  if (lines == 0) return;
  const uint64_t pitch = static_cast<uint64_t>(std::llabs(int64_t{qtab.stride}));
  const uint64_t line_bytes = uint64_t{frame.window.width} * frame.pixel.bytes_per_pixel;
  const uint64_t copied = std::min(line_bytes, pitch);
  rows.Prepare(frame.pixel, frame.window.column, frame.window.width);
  for (uint32_t k = 0; k < lines; ++k) {
    const uint64_t at = qtab.stride > 0 ? k : buffer_lines - 1 - k;
    rows.Line(frame.number, frame.window.row + k, qtab.destination + at * pitch, copied);
  }
}

}  // namespace bfsim::model
