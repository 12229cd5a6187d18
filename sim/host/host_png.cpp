// PNG writing of host images with libpng.
//
// libpng reports errors by longjmp; nothing with a destructor may live in the frame
// that calls setjmp, so the libpng part works on plain pointers only and the C++
// part around it owns the file and the row buffer.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "tarvel_host.hpp"

namespace tarvel {
namespace {

struct PngJob {
  FILE *file;
  const Image *const *channels;
  int num_channels;
  uint32_t width;
  uint32_t height;
  int bit_depth;
  unsigned char *row;
  char message[256];
};

void OnPngError(png_structp png, png_const_charp text) {
  auto *job = static_cast<PngJob *>(png_get_error_ptr(png));
  std::snprintf(job->message, sizeof(job->message), "%s", text != nullptr ? text : "");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Interleaves one row of all channels; 16-bit samples go out most significant byte first.
void FillRow(const PngJob &job, uint32_t y) {
  size_t stride = size_t(job.num_channels);
  for (int c = 0; c < job.num_channels; ++c) {
    const Image &image = *job.channels[c];
    size_t first = size_t(y) * job.width;
    if (job.bit_depth == 8) {
      const auto *src = static_cast<const uint8_t *>(image.data()) + first;
      for (uint32_t x = 0; x < job.width; ++x) job.row[x * stride + size_t(c)] = src[x];
    } else {
      const auto *src = static_cast<const uint16_t *>(image.data()) + first;
      for (uint32_t x = 0; x < job.width; ++x) {
        unsigned char *out = job.row + 2 * (x * stride + size_t(c));
        out[0] = static_cast<unsigned char>(src[x] >> 8);
        out[1] = static_cast<unsigned char>(src[x] & 0xff);
      }
    }
  }
}

bool EncodePng(PngJob *job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, OnPngError, OnPngWarning);
  if (png == nullptr) {
    std::snprintf(job->message, sizeof(job->message), "cannot create the PNG writer");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(job->message, sizeof(job->message), "cannot create the PNG header");
    return false;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, job->file);
  png_set_IHDR(png, info, job->width, job->height, job->bit_depth,
               job->num_channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < job->height; ++y) {
    FillRow(*job, y);
    png_write_row(png, job->row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::string CheckChannels(const std::vector<const Image *> &channels) {
  if (channels.size() != 1 && channels.size() != 3) {
    return "a PNG takes 1 or 3 channels, not " + std::to_string(channels.size());
  }
  const Image *first = channels[0];
  for (const Image *image : channels) {
    if (image == nullptr || image->data() == nullptr) return "a channel has no pixels";
    if (image->kind() == INT4_IMAGE) return "32-bit images cannot be written as PNG";
    if (image->kind() != BYTE_IMAGE && image->kind() != UINT2_IMAGE) {
      return "unknown pixel kind " + std::to_string(image->kind());
    }
    if (image->width() <= 0 || image->height() <= 0) return "a channel has no size";
    if (image->kind() != first->kind() || image->width() != first->width() ||
        image->height() != first->height()) {
      return "channels differ in kind or size";
    }
  }
  return {};
}

}  // namespace

bool WritePng(const std::string &path, const std::vector<const Image *> &channels,
              std::string *error) {
  std::string problem = CheckChannels(channels);
  if (!problem.empty()) {
    if (error != nullptr) *error = problem;
    return false;
  }
  const Image &first = *channels[0];
  PngJob job{};
  job.channels = channels.data();
  job.num_channels = static_cast<int>(channels.size());
  job.width = static_cast<uint32_t>(first.width());
  job.height = static_cast<uint32_t>(first.height());
  job.bit_depth = first.kind() == BYTE_IMAGE ? 8 : 16;
  std::vector<unsigned char> row(size_t(job.width) * channels.size() * size_t(job.bit_depth / 8));
  job.row = row.data();

  job.file = std::fopen(path.c_str(), "wb");
  if (job.file == nullptr) {
    if (error != nullptr) *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  bool written = EncodePng(&job);
  bool closed = std::fclose(job.file) == 0;
  if (written && !closed) std::snprintf(job.message, sizeof(job.message), "write error");
  if (!written || !closed) {
    std::remove(path.c_str());
    if (error != nullptr) *error = "cannot write " + path + ": " + job.message;
    return false;
  }
  return true;
}

}  // namespace tarvel
