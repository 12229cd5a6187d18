// contact_sheet.hpp — small copies of the saved frames laid out in a grid, so one
// picture shows what a run delivered. At most a fixed number of thumbnails is kept,
// evenly spread over however many frames the run saves.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "samples.hpp"

namespace grabline::tool {

inline constexpr int32_t kThumbnailSide = 160;
inline constexpr int32_t kSheetGap = 4;
inline constexpr int32_t kSheetColumnsMax = 8;
inline constexpr uint8_t kSheetBackground = 32;

struct Thumbnail {
  int32_t width = 0;
  int32_t height = 0;
  int channels = 0;             // 1 gray, 3 red green blue
  std::vector<uint8_t> pixels;  // interleaved, 8 bits a sample
};

// The frame (1 plane, or 3 planes red, green, blue of one size) scaled down by the
// smallest whole step that fits it into a square of `max_side`, sampled at the centre
// of each step. False for planes without pixels or of differing sizes.
bool MakeThumbnail(std::span<const PlaneView> planes, int32_t max_side, Thumbnail *out);

struct SheetLayout {
  int64_t columns = 0;
  int64_t rows = 0;
  int64_t cell_width = 0;
  int64_t cell_height = 0;
  int64_t width = 0;
  int64_t height = 0;
};
// Near-square grid of at most kSheetColumnsMax columns with kSheetGap pixels around cells.
SheetLayout LayoutSheet(uint64_t count, int32_t cell_width, int32_t cell_height);
// Top-left pixel of cell `index`, row by row.
void CellOrigin(const SheetLayout &layout, uint64_t index, int64_t *x, int64_t *y);

// The composed sheet as planes of 8-bit samples: 1 (gray) or 3 (red, green, blue).
struct SheetImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<std::vector<uint8_t>> planes;
};

class ContactSheet {
 public:
  explicit ContactSheet(size_t max_thumbnails = 64);
  // Whether the saved frame numbered `ordinal` (0, 1, 2, ... in saving order) gets a
  // thumbnail; ask before making one.
  bool Wants(uint64_t ordinal) const { return ordinal % stride_ == 0; }
  // Keeps the thumbnail; when full, every second one goes and the spacing doubles.
  // Thumbnails larger than kThumbnailSide or with inconsistent sizes are not kept.
  void Add(uint64_t ordinal, Thumbnail thumbnail);
  std::vector<uint64_t> Ordinals() const;
  // Gray when every thumbnail is gray, else RGB. False when there is nothing to show.
  bool Compose(SheetImage *image) const;

 private:
  struct Entry {
    uint64_t ordinal;
    Thumbnail thumbnail;
  };
  size_t max_;
  uint64_t stride_ = 1;
  std::vector<Entry> entries_;
};

}  // namespace grabline::tool
