// timestamp_words.hpp — the software time stamp the continuous-grab worker
// writes into each ring buffer, where applications read it with the pixels.
#pragma once

#include <cstdint>

#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// One set of words, each the last four bytes of a line: a mark, the frame
// count and the 64-bit stamp, and the same three again for a frame that came
// while the set still held a stamp nobody had taken.
struct StampWords {
  uint32_t *magic;
  uint32_t *count;
  uint32_t *low;
  uint32_t *high;
  uint32_t *count_overwrite;
  uint32_t *low_overwrite;
  uint32_t *high_overwrite;
};

// A buffer carries one set in its first seven lines and one in its last seven.
struct BufferStampWords {
  StampWords top;
  StampWords bottom;
};

// Addresses buffer i's words for frames of `height` lines of `line_bytes`.
// A frame too small to hold all fourteen gets none. FG_FAIL without the array.
Terr AddressStampWords(InstanceRecord &inst, uint32_t i, uint64_t line_bytes, uint32_t height);

// Marks the frame just filled with the board's time stamp.
Terr WriteSoftwareTimestamps(InstanceRecord &inst, uint64_t stamp);

}  // namespace grabline
