#include "board/timestamp_words.hpp"

#include "board/records.hpp"
#include "plugin/error_report.hpp"
#include "plugin/result_codes.hpp"

namespace grabline {
namespace {

constexpr uint32_t kTopMark = 0x01234567u;
constexpr uint32_t kTopOverwrittenMark = 0x76543210u;
constexpr uint32_t kBottomMark = 0x89ABCDEFu;
constexpr uint32_t kBottomOverwrittenMark = 0xFEDCBA98u;
constexpr uint32_t kWordsPerFrame = 14;

bool Complete(const StampWords &w) {
  return w.magic != nullptr && w.count != nullptr && w.low != nullptr && w.high != nullptr &&
         w.count_overwrite != nullptr && w.low_overwrite != nullptr && w.high_overwrite != nullptr;
}

void Write(const StampWords &w, uint32_t mark, uint32_t overwritten_mark, uint32_t count,
           uint64_t stamp) {
  const auto low = static_cast<uint32_t>(stamp);
  const auto high = static_cast<uint32_t>(stamp >> 32);
  if (*w.magic == mark) {
    // The application has not consumed the last frame's stamp.
    DebugText("Overwrite\n");
    *w.magic = overwritten_mark;
    *w.count_overwrite = count;
    *w.low_overwrite = low;
    *w.high_overwrite = high;
  } else {
    *w.magic = mark;
    *w.count = count;
    *w.low = low;
    *w.high = high;
  }
}

}  // namespace

Terr AddressStampWords(InstanceRecord &inst, uint32_t i, uint64_t line, uint32_t height) {
  if (inst.ring.stamp_words == nullptr) return FG_FAIL;
  auto *base = static_cast<uint8_t *>(inst.ring.frame_buffer[i]);
  // The word ending line k (counted from 1); none for lines beyond the
  // buffer, where the word would land outside it.
  auto word = [&](int64_t k) -> uint32_t * {
    if (base == nullptr || height < kWordsPerFrame || line < 4 || k < 1) return nullptr;
    const uint64_t end = static_cast<uint64_t>(k) * line;
    if (end > inst.ring.buffer_size) return nullptr;
    return reinterpret_cast<uint32_t *>(base + end - 4);
  };
  const int64_t h = height;
  inst.ring.stamp_words[i] = {
      {word(1), word(2), word(3), word(4), word(5), word(6), word(7)},
      // The bottom set runs upwards, with each stamp's high word first.
      {word(h), word(h - 1), word(h - 3), word(h - 2), word(h - 4), word(h - 6), word(h - 5)},
  };
  return FG_OK;
}

Terr WriteSoftwareTimestamps(InstanceRecord &inst, uint64_t stamp) {
  if (inst.ring.stamp_words == nullptr) return FG_FAIL;
  const BufferStampWords &words = inst.ring.stamp_words[inst.position.fill_index];
  const uint32_t count = inst.position.next_buffer_acquired_abs;
  // A frame too small for the words has none.
  if (Complete(words.top)) Write(words.top, kTopMark, kTopOverwrittenMark, count, stamp);
  if (Complete(words.bottom))
    Write(words.bottom, kBottomMark, kBottomOverwrittenMark, count, stamp);
  return FG_OK;
}

}  // namespace grabline
