// Host images: pixels the host allocates (on the image books until the
// application's Image releases them) or borrowed memory laid under a record.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <unordered_set>

#include "host_internal.hpp"

namespace tarvel {
namespace {

// Larger images are refused as out of memory rather than left to abort inside the
// sanitizers' allocator; 1 GiB of pixels is far beyond any board's frame.
constexpr uint64_t kMaxImageBytes = uint64_t{1} << 30;

struct ImageBooks {
  std::mutex mutex;
  std::unordered_set<void *> owned;
};

ImageBooks &TheImageBooks() {
  static ImageBooks books;
  return books;
}

size_t BytesPerPixel(int32_t kind) {
  switch (kind) {
    case BYTE_IMAGE:
      return 1;
    case UINT2_IMAGE:
      return 2;
    case INT4_IMAGE:
      return 4;
    default:
      return 0;
  }
}

// Checks kind and size; on success `bytes` is the pixel memory the image needs.
Terr CheckShape(int32_t kind, int32_t width, int32_t height, uint64_t *bytes) {
  size_t per_pixel = BytesPerPixel(kind);
  if (per_pixel == 0 || width <= 0 || height <= 0) return T_ERR_IMAGE;
  *bytes = uint64_t(width) * uint64_t(height) * per_pixel;
  return T_MSG_OK;
}

void FillRecord(Timage *image, int32_t kind, int32_t width, int32_t height, void *pixels,
                bool owned) {
  std::memset(image, 0, sizeof(*image));
  image->kind = kind;
  image->width = width;
  image->height = height;
  if (kind == UINT2_IMAGE) {
    image->pixel.u.p = static_cast<uint16_t *>(pixels);
    image->pixel.u.num_bits = 16;
  } else {
    image->pixel.raw = pixels;
  }
  image->owns_pixels = owned ? 1 : 0;
}

// Allocates zeroed pixels and puts them on the books.
Terr NewOwnedPixels(uint64_t bytes, void **pixels) {
  if (bytes > kMaxImageBytes) return T_ERR_MEM;
  void *block = std::calloc(bytes, 1);
  if (block == nullptr) return T_ERR_MEM;
  ImageBooks &books = TheImageBooks();
  std::lock_guard lock(books.mutex);
  books.owned.insert(block);
  *pixels = block;
  return T_MSG_OK;
}

void *PixelAddress(const Timage &record) {
  return record.kind == UINT2_IMAGE ? static_cast<void *>(record.pixel.u.p) : record.pixel.raw;
}

}  // namespace

size_t OutstandingImages() {
  ImageBooks &books = TheImageBooks();
  std::lock_guard lock(books.mutex);
  return books.owned.size();
}

namespace internal {

void ReleaseImagePixels(void *pixels) {
  if (pixels == nullptr) return;
  ImageBooks &books = TheImageBooks();
  std::lock_guard lock(books.mutex);
  if (books.owned.erase(pixels) != 0) std::free(pixels);
}

}  // namespace internal

// ---- Image ------------------------------------------------------------------------

Image::Image(const Timage &record) : record_(record) {}

Image::Image(Image &&other) noexcept : record_(other.record_) { other.record_ = Timage{}; }

Image &Image::operator=(Image &&other) noexcept {
  if (this != &other) {
    if (owned()) internal::ReleaseImagePixels(PixelAddress(record_));
    record_ = other.record_;
    other.record_ = Timage{};
  }
  return *this;
}

Image::~Image() {
  if (owned()) internal::ReleaseImagePixels(PixelAddress(record_));
}

int Image::significant_bits() const {
  switch (record_.kind) {
    case BYTE_IMAGE:
      return 8;
    case UINT2_IMAGE:
      return record_.pixel.u.num_bits;
    case INT4_IMAGE:
      return 32;
    default:
      return 0;
  }
}

size_t Image::bytes_per_pixel() const { return BytesPerPixel(record_.kind); }

int64_t Image::at(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= record_.width || y >= record_.height || data() == nullptr) {
    throw std::out_of_range("pixel outside the image");
  }
  size_t index = size_t(y) * size_t(record_.width) + size_t(x);
  switch (record_.kind) {
    case BYTE_IMAGE:
      return record_.pixel.b[index];
    case UINT2_IMAGE:
      return record_.pixel.u.p[index];
    case INT4_IMAGE:
      return record_.pixel.l[index];
    default:
      throw std::out_of_range("image without pixels");
  }
}

}  // namespace tarvel

namespace tarvel {
namespace {

Terr NewImage(Timage *image, int32_t kind, int32_t width, int32_t height) {
  if (std::optional<Terr> injected = internal::ImageInjector().NextFails()) return *injected;
  if (image == nullptr) return T_ERR_ARGUMENT;
  uint64_t bytes = 0;
  if (Terr shape = CheckShape(kind, width, height, &bytes); shape != T_MSG_OK) return shape;
  void *pixels = nullptr;
  if (Terr made = NewOwnedPixels(bytes, &pixels); made != T_MSG_OK) return made;
  FillRecord(image, kind, width, height, pixels, true);
  return T_MSG_OK;
}

Terr NewImagePtr(Timage *image, int32_t kind, int32_t width, int32_t height, void *data,
                 int32_t copy) {
  if (std::optional<Terr> injected = internal::ImageInjector().NextFails()) return *injected;
  if (image == nullptr || data == nullptr) return T_ERR_ARGUMENT;
  uint64_t bytes = 0;
  if (Terr shape = CheckShape(kind, width, height, &bytes); shape != T_MSG_OK) return shape;
  if (copy == 0) {
    FillRecord(image, kind, width, height, data, false);
    return T_MSG_OK;
  }
  void *pixels = nullptr;
  if (Terr made = NewOwnedPixels(bytes, &pixels); made != T_MSG_OK) return made;
  std::memcpy(pixels, data, bytes);
  FillRecord(image, kind, width, height, pixels, true);
  return T_MSG_OK;
}

}  // namespace
}  // namespace tarvel

extern "C" {

Terr TNewImage(Tproc_handle, Timage *image, int32_t kind, int32_t width, int32_t height) {
  Terr result = tarvel::NewImage(image, kind, width, height);
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::internal::RecordHostCall("TNewImage", {kind, width, height, 0}, nullptr, result);
  }
  return result;
}

Terr TNewImagePtr(Tproc_handle, Timage *image, int32_t kind, int32_t width, int32_t height,
                  void *data, int32_t copy) {
  Terr result = tarvel::NewImagePtr(image, kind, width, height, data, copy);
  if (tarvel::internal::RecordingHostCalls()) {
    tarvel::internal::RecordHostCall("TNewImagePtr", {kind, width, height, copy == 0 ? 1 : 0},
                                     nullptr, result);
  }
  return result;
}

}  // extern "C"
