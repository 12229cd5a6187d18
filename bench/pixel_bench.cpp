// The pixel paths against memcpy of the same source bytes, in one run.
// Every benchmark reports bytes_per_second over the SOURCE bytes of a frame,
// so "Extract24 / Memcpy x3" is the ratio the paths are judged by.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "acq/kernel_dispatch.hpp"
#include "acq/pixel_convert.hpp"
#include "acq/pixel_kernels.hpp"

#ifdef GRABLINE_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

namespace grabline {
namespace {

struct Size {
  int width, height;
};
constexpr Size kSizes[] = {{1024, 768}, {4096, 3072}};
// Frames a print grab stacks (its value at open).
constexpr int kStacked = 3;

// Memory as the host gives it: from malloc, whatever alignment that has,
// touched once so page faults stay out of the timing.
struct Block {
  explicit Block(uint64_t bytes) : data(static_cast<uint8_t *>(std::malloc(bytes + 1))) {
    for (uint64_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
  }
  ~Block() { std::free(data); }
  Block(const Block &) = delete;
  Block &operator=(const Block &) = delete;
  uint8_t *data;
};

std::string Name(const char *kind, Size s, const char *suffix = "") {
  std::string name = kind;
  name += '/';
  name += std::to_string(s.width);
  name += 'x';
  name += std::to_string(s.height);
  name += suffix;
  return name;
}

void SetBytes(benchmark::State &state, uint64_t source_bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source_bytes));
}

// Sources for a run: one frame read again and again (it stays in the cache
// once the cache can hold it), or with `fresh` a ring of frames larger than
// any cache, so that every frame comes from memory as a DMA engine left it.
constexpr uint64_t kFreshBytes = uint64_t{640} << 20;

std::vector<std::unique_ptr<Block>> Sources(uint64_t frame_bytes, int frames, bool fresh) {
  const uint64_t count =
      fresh ? std::max<uint64_t>(frames, (kFreshBytes + frame_bytes - 1) / frame_bytes) : frames;
  std::vector<std::unique_ptr<Block>> ring;
  for (uint64_t j = 0; j < count; ++j) ring.push_back(std::make_unique<Block>(frame_bytes));
  return ring;
}

void Memcpy(benchmark::State &state, Size s, int bytes_per_pixel, bool fresh) {
  const uint64_t bytes = uint64_t(s.width) * s.height * bytes_per_pixel;
  const auto ring = Sources(bytes, 1, fresh);
  Block dst(bytes);
  uint64_t next = 0;
  for (auto _ : state) {
    std::memcpy(dst.data, ring[next++ % ring.size()]->data, bytes);
    benchmark::ClobberMemory();
  }
  SetBytes(state, bytes);
}

// Channel planes of one image each, `frames` frames high.
struct Planes {
  Planes(int count, uint64_t bytes) {
    for (int k = 0; k < count; ++k) planes.push_back(std::make_unique<Block>(bytes));
  }
  uint8_t *operator[](int k) const { return planes[k]->data; }
  std::vector<std::unique_ptr<Block>> planes;
};

enum class Format { k24, k30, k32, k36 };

uint32_t SourceBytes(Format f) { return f == Format::k24 ? 3 : f == Format::k36 ? 6 : 4; }
uint32_t PlaneBytes(Format f) { return f == Format::k24 || f == Format::k32 ? 1 : 2; }

// One frame, or `frames` frames from as many ring buffers stacked into one
// image, through the same entry points the image assembly calls.
void Extract(benchmark::State &state, Size s, Format f, int frames, bool fresh) {
  const uint64_t pixels = uint64_t(s.width) * s.height;
  const uint64_t frame_bytes = pixels * SourceBytes(f);
  const auto ring = Sources(frame_bytes, frames, fresh);
  std::vector<std::unique_ptr<Block>> unpack;
  for (int j = 0; j < frames && f == Format::k30; ++j) {
    unpack.push_back(std::make_unique<Block>(pixels * 6));
  }
  const Planes p(f == Format::k32 ? 4 : 3, pixels * frames * PlaneBytes(f));
  uint64_t next = 0;
  for (auto _ : state) {
    for (int j = 0; j < frames; ++j) {
      const uint8_t *src = ring[next++ % ring.size()]->data;
      const uint64_t at = pixels * j;
      switch (f) {
        case Format::k24:
          ExtractRGB24Channels(pixels, src, p[2] + at, p[1] + at, p[0] + at);
          break;
        case Format::k32:
          if (frames > 1) {
            ExtractRGB32Channels(pixels, src, p[0] + at, p[1] + at, p[2] + at, p[3] + at);
          } else {
            ExtractRGB32Channels(pixels, src, p[2], p[1], p[0], p[3]);
          }
          break;
        case Format::k30:
        case Format::k36: {
          Tuint2_pixel c[3];
          for (int k = 0; k < 3; ++k) c[k] = {reinterpret_cast<uint16_t *>(p[2 - k]) + at, 16};
          if (f == Format::k30) {
            ExtractRGB30Channels(pixels, src, reinterpret_cast<uint16_t *>(unpack[j]->data), &c[0],
                                 &c[1], &c[2]);
          } else {
            ExtractRGB36Channels(pixels, src, &c[0], &c[1], &c[2]);
          }
          break;
        }
      }
    }
    benchmark::ClobberMemory();
  }
  SetBytes(state, frame_bytes * frames);
}

// What the application does next: read every byte of the image. Which store
// kind serves the whole frame best depends on whether the written planes are
// still in the cache when they are read; the pair shows it on this machine
// (and why frames that fit the cache are not streamed). The widest table.
uint64_t ReadAll(const uint8_t *p, uint64_t bytes) {
  uint64_t sum = 0;
  for (uint64_t i = 0; i + 8 <= bytes; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    sum += word;
  }
  return sum;
}

void ExtractThenRead(benchmark::State &state, Size s, bool stream) {
  const uint64_t pixels = uint64_t(s.width) * s.height;
  const Block src(pixels * 3);
  const Planes p(3, pixels);
  const kernels::KernelTable &k = *kernels::SupportedKernels().back();
  uint64_t sum = 0;
  for (auto _ : state) {
    k.split3x8(pixels, src.data, p[2], p[1], p[0], stream);
    for (int c = 0; c < 3; ++c) sum += ReadAll(p[c], pixels);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(sum);
  SetBytes(state, pixels * 3);
}

void MemcpyThenRead(benchmark::State &state, Size s) {
  const uint64_t bytes = uint64_t(s.width) * s.height * 3;
  const Block src(bytes), dst(bytes);
  uint64_t sum = 0;
  for (auto _ : state) {
    std::memcpy(dst.data, src.data, bytes);
    sum += ReadAll(dst.data, bytes);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(sum);
  SetBytes(state, bytes);
}

void GrayCopy(benchmark::State &state, Size s, uint32_t bytes_per_pixel) {
  const uint64_t pixels = uint64_t(s.width) * s.height;
  Block src(pixels * bytes_per_pixel), dst(pixels * bytes_per_pixel);
  for (auto _ : state) {
    CopyGrayPixels(pixels, bytes_per_pixel, src.data, dst.data);
    benchmark::ClobberMemory();
  }
  SetBytes(state, pixels * bytes_per_pixel);
}

#ifdef GRABLINE_HAVE_OPENCV
// On memory laid out as the extractions have it (the same blocks, the same
// allocator), so the two differ only in their code.
void CvSplit(benchmark::State &state, Size s, int type) {
  const uint64_t pixels = uint64_t(s.width) * s.height;
  const int channels = CV_MAT_CN(type);
  const uint64_t plane_bytes = pixels * CV_ELEM_SIZE1(type);
  const Block src_block(plane_bytes * channels);
  const Planes p(channels, plane_bytes);
  const cv::Mat src(s.height, s.width, type, src_block.data);
  std::vector<cv::Mat> planes;
  for (int k = 0; k < channels; ++k) {
    planes.emplace_back(s.height, s.width, CV_MAKETYPE(CV_MAT_DEPTH(type), 1), p[k]);
  }
  for (auto _ : state) {
    cv::split(src, planes);
    benchmark::ClobberMemory();
  }
  if (planes[0].data != p[0]) state.SkipWithError("cv::split did not write into the planes");
  SetBytes(state, plane_bytes * channels);
}
#endif

// Frames from memory matter where they do not fit the cache: the large size.
bool Streams(Size s) {
  const uint64_t bytes = uint64_t(s.width) * s.height * 3;
  return kernels::ClassOf(bytes, bytes) == kernels::SizeClass::kUncached;
}

// Short runs, best of five (make bench interleaves them with the other
// benchmarks, so a slow phase of a shared machine does not land on one
// benchmark alone): the whole run stays within a few minutes.
benchmark::internal::Benchmark *Short(benchmark::internal::Benchmark *b) {
  return b->MinTime(0.2)->Repetitions(5)->UseRealTime();
}

const bool kRegistered = [] {
  for (const Size s : kSizes) {
    for (int bpp : {1, 2, 3, 4, 6}) {
      std::string suffix = "x";
      suffix += std::to_string(bpp);
      const std::string name = Name("Memcpy", s, suffix.c_str());
      Short(benchmark::RegisterBenchmark(name.c_str(), Memcpy, s, bpp, false));
      if (Streams(s) && (bpp == 3 || bpp == 4 || bpp == 6)) {
        Short(benchmark::RegisterBenchmark((name + "/Fresh").c_str(), Memcpy, s, bpp, true));
      }
    }
    const struct {
      const char *name;
      Format format;
    } extractions[] = {{"Extract24", Format::k24},
                       {"Extract30", Format::k30},
                       {"Extract32", Format::k32},
                       {"Extract36", Format::k36}};
    for (const auto &e : extractions) {
      Short(benchmark::RegisterBenchmark(Name(e.name, s).c_str(), Extract, s, e.format, 1, false));
      Short(benchmark::RegisterBenchmark(Name(e.name, s, "/PrintGrab").c_str(), Extract, s,
                                         e.format, kStacked, false));
      if (Streams(s)) {
        Short(benchmark::RegisterBenchmark(Name(e.name, s, "/Fresh").c_str(), Extract, s, e.format,
                                           1, true));
      }
    }
    Short(benchmark::RegisterBenchmark(Name("MemcpyThenRead", s, "x3").c_str(), MemcpyThenRead, s));
    for (const bool stream : {false, true}) {
      Short(benchmark::RegisterBenchmark(
          Name("Extract24ThenRead", s, stream ? "/stream" : "/ordinary").c_str(), ExtractThenRead,
          s, stream));
    }
    Short(benchmark::RegisterBenchmark(Name("GrayCopy8", s).c_str(), GrayCopy, s, 1u));
    Short(benchmark::RegisterBenchmark(Name("GrayCopy16", s).c_str(), GrayCopy, s, 2u));
    Short(benchmark::RegisterBenchmark(Name("GrayCopy32", s).c_str(), GrayCopy, s, 4u));
#ifdef GRABLINE_HAVE_OPENCV
    Short(benchmark::RegisterBenchmark(Name("CvSplit24", s).c_str(), CvSplit, s, CV_8UC3));
    Short(benchmark::RegisterBenchmark(Name("CvSplit32", s).c_str(), CvSplit, s, CV_8UC4));
    Short(benchmark::RegisterBenchmark(Name("CvSplit36", s).c_str(), CvSplit, s, CV_16UC3));
#endif
  }
  return true;
}();

}  // namespace
}  // namespace grabline
