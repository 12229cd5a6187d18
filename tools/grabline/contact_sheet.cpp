#include "contact_sheet.hpp"

#include <algorithm>

namespace grabline::tool {

bool MakeThumbnail(std::span<const PlaneView> planes, int32_t max_side, Thumbnail *out) {
  if ((planes.size() != 1 && planes.size() != 3) || max_side < 1) return false;
  const PlaneView &first = planes[0];
  for (const PlaneView &plane : planes) {
    if (plane.data == nullptr || plane.width <= 0 || plane.height <= 0 ||
        plane.width != first.width || plane.height != first.height) {
      return false;
    }
  }
  const int64_t longest = std::max(first.width, first.height);
  const int64_t step = (longest + max_side - 1) / max_side;
  out->width = static_cast<int32_t>((first.width + step - 1) / step);
  out->height = static_cast<int32_t>((first.height + step - 1) / step);
  out->channels = static_cast<int>(planes.size());
  out->pixels.assign(size_t(out->width) * size_t(out->height) * planes.size(), 0);
  size_t k = 0;
  for (int64_t y = 0; y < out->height; ++y) {
    const int64_t source_y = std::min<int64_t>(y * step + step / 2, first.height - 1);
    for (int64_t x = 0; x < out->width; ++x) {
      const int64_t source_x = std::min<int64_t>(x * step + step / 2, first.width - 1);
      const size_t index = size_t(source_y) * size_t(first.width) + size_t(source_x);
      for (const PlaneView &plane : planes) {
        out->pixels[k++] = To8Bit(SampleAt(plane, index), plane.significant_bits);
      }
    }
  }
  return true;
}

SheetLayout LayoutSheet(uint64_t count, int32_t cell_width, int32_t cell_height) {
  SheetLayout layout;
  if (count == 0) return layout;
  layout.columns = 1;
  while (uint64_t(layout.columns) * uint64_t(layout.columns) < count &&
         layout.columns < kSheetColumnsMax) {
    ++layout.columns;
  }
  layout.rows = int64_t((count + uint64_t(layout.columns) - 1) / uint64_t(layout.columns));
  layout.cell_width = std::max(cell_width, 1);
  layout.cell_height = std::max(cell_height, 1);
  layout.width = layout.columns * (layout.cell_width + kSheetGap) + kSheetGap;
  layout.height = layout.rows * (layout.cell_height + kSheetGap) + kSheetGap;
  return layout;
}

void CellOrigin(const SheetLayout &layout, uint64_t index, int64_t *x, int64_t *y) {
  const uint64_t columns = uint64_t(std::max<int64_t>(layout.columns, 1));
  *x = kSheetGap + int64_t(index % columns) * (layout.cell_width + kSheetGap);
  *y = kSheetGap + int64_t(index / columns) * (layout.cell_height + kSheetGap);
}

ContactSheet::ContactSheet(size_t max_thumbnails) : max_(std::max<size_t>(max_thumbnails, 2)) {}

void ContactSheet::Add(uint64_t ordinal, Thumbnail thumbnail) {
  const bool consistent =
      (thumbnail.channels == 1 || thumbnail.channels == 3) && thumbnail.width > 0 &&
      thumbnail.width <= kThumbnailSide && thumbnail.height > 0 &&
      thumbnail.height <= kThumbnailSide &&
      thumbnail.pixels.size() ==
          size_t(thumbnail.width) * size_t(thumbnail.height) * size_t(thumbnail.channels);
  if (!consistent || !Wants(ordinal)) return;
  if (entries_.size() >= max_) {
    stride_ *= 2;
    std::erase_if(entries_, [&](const Entry &entry) { return entry.ordinal % stride_ != 0; });
    if (!Wants(ordinal)) return;
  }
  entries_.push_back(Entry{ordinal, std::move(thumbnail)});
}

std::vector<uint64_t> ContactSheet::Ordinals() const {
  std::vector<uint64_t> ordinals;
  for (const Entry &entry : entries_) ordinals.push_back(entry.ordinal);
  return ordinals;
}

bool ContactSheet::Compose(SheetImage *image) const {
  if (entries_.empty()) return false;
  int32_t cell_width = 1;
  int32_t cell_height = 1;
  int channels = 1;
  for (const Entry &entry : entries_) {
    cell_width = std::max(cell_width, entry.thumbnail.width);
    cell_height = std::max(cell_height, entry.thumbnail.height);
    if (entry.thumbnail.channels == 3) channels = 3;
  }
  const SheetLayout layout = LayoutSheet(entries_.size(), cell_width, cell_height);
  image->width = static_cast<int32_t>(layout.width);
  image->height = static_cast<int32_t>(layout.height);
  const size_t plane_size = size_t(layout.width) * size_t(layout.height);
  image->planes.assign(size_t(channels), std::vector<uint8_t>(plane_size, kSheetBackground));
  for (size_t n = 0; n < entries_.size(); ++n) {
    const Thumbnail &thumb = entries_[n].thumbnail;
    int64_t left = 0;
    int64_t top = 0;
    CellOrigin(layout, n, &left, &top);
    for (int64_t y = 0; y < thumb.height; ++y) {
      for (int64_t x = 0; x < thumb.width; ++x) {
        const size_t target = size_t(top + y) * size_t(layout.width) + size_t(left + x);
        const size_t source =
            (size_t(y) * size_t(thumb.width) + size_t(x)) * size_t(thumb.channels);
        for (int c = 0; c < channels; ++c) {
          // A gray thumbnail on an RGB sheet fills all three planes with its one sample.
          const int from = thumb.channels == 3 ? c : 0;
          image->planes[size_t(c)][target] = thumb.pixels[source + size_t(from)];
        }
      }
    }
  }
  return true;
}

}  // namespace grabline::tool
