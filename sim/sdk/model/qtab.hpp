// qtab.hpp — the QTabs of all boards: host buffers the DMA engine may write,
// and the chains that link them into rings. The table is not locked itself:
// the system owns it and uses it only under its lock, the same lock under
// which frames are written, so a freed QTab's memory is never written again.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "model/acquisition.hpp"
#include "model/pattern_rows.hpp"
#include "model/status.hpp"

namespace bfsim::model {

struct QTab {
  uint32_t board = 0;  // position of the board it belongs to
  uint8_t *destination = nullptr;
  uint32_t size = 0;
  int32_t stride = 0;  // negative: the buffer is filled bottom-up
  uint32_t format = kFormatCamera;
  uint32_t lut_bank = 0;
  uint32_t lut_type = 0;
  uint32_t dest_kind = 0;
  bool physical = false;
  uint64_t chain = 0;   // chain it is linked into, 0 none
  bool orphan = false;  // its board was closed with it still alive

  // Whole lines of |stride| bytes the buffer holds.
  uint32_t Lines() const;
};

class QTabTable {
 public:
  void Add(uint64_t id, const QTab &qtab) { tabs_[id] = qtab; }
  // Whether `id` is a QTab that can still be used.
  bool Usable(uint64_t id) const;
  // The usable QTab `id` of board `board`, or null.
  QTab *Find(uint64_t id, uint32_t board);
  // Links the physical QTabs `ids` (in order, no repeats) into the new chain
  // `chain_id`; a QTab already in a chain leaves it, which breaks that chain.
  Status Link(uint32_t board, const std::vector<uint64_t> &ids, uint64_t chain_id);
  // The QTabs of an unbroken chain, or null.
  const std::vector<uint64_t> *Chain(uint64_t chain) const;
  // Makes the QTab unusable by DMA (breaking its chain); with `release` the
  // QTab is gone altogether.
  Status Free(uint64_t id, uint32_t board, bool release);
  // QTabs created and not released, orphans included.
  uint32_t Live(uint32_t board) const;
  // A board closed with QTabs alive: they stay counted, so a leak shows, but
  // nothing can use them again; their memory may be long gone.
  void Orphan(uint32_t board);
  void Clear();

 private:
  void Unlink(QTab &qtab);

  std::map<uint64_t, QTab> tabs_;
  std::map<uint64_t, std::vector<uint64_t>> chains_;
};

// Writes one frame into the QTab: min(frame lines, QTab lines) lines of
// min(line bytes, |stride|) bytes; bottom-up when the stride is negative.
// The lines come out of `rows`, kept by the board between frames.
void WriteFrame(const QTab &qtab, const FrameSpec &frame, PatternRows &rows);

}  // namespace bfsim::model
