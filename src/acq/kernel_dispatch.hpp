// kernel_dispatch.hpp — which kernel table, with which kind of store, converts
// a frame.
//
// CPU flags do not say which table is fastest: on one machine the widest
// table wins on frames in the cache and loses by half on frames from memory,
// and whether streaming stores pay depends on the memory system as much as on
// the frame size. So the choice is measured, per kernel and per size class,
// on the first frames the process converts: they go through the candidates in
// turn, each timed, and the fastest is kept for the life of the process. The
// frames are real ones (of the buffers, alignment and memory state the host
// and the ring really have), every candidate gives the same pixels, and the
// trials cost only the difference to the fastest. After the choice, a
// conversion costs one atomic load more than a direct call.
//
// GRABLINE_KERNELS=scalar|ssse3|avx2|avx512 fixes the table and
// GRABLINE_STREAM=auto|always|never the store kind, for tests and diagnosis.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "acq/pixel_kernels.hpp"

namespace grabline::kernels {

enum class Kernel : uint8_t { kSplit3x8, kSplit4x8, kSplit3x16, kSplit30, kCopy };
constexpr int kKernelCount = 5;
const char *KernelName(Kernel kernel);

// Whether a conversion's source and destinations together fit the part of
// the last-level cache this process can count on.
enum class SizeClass : uint8_t { kCached, kUncached };
constexpr int kSizeClassCount = 2;
const char *SizeClassName(SizeClass size);
SizeClass ClassOf(uint64_t src_bytes, uint64_t dst_bytes);
// Half of the last-level cache, at most 16 MiB (virtual machines report the
// whole host's cache).
uint64_t CacheShareBytes();

struct Candidate {
  const KernelTable *table;
  bool stream;
};

enum class StreamSetting : uint8_t { kAuto, kAlways, kNever };

struct Settings {
  const KernelTable *table = nullptr;  // fixed by the environment, or null
  StreamSetting stream = StreamSetting::kAuto;
  std::string warning;  // a value that was not understood or not supported
};

// The settings GRABLINE_KERNELS and GRABLINE_STREAM ask for (null: unset),
// among the tables this CPU supports.
Settings ParseSettings(const char *kernels, const char *stream);

// One kernel and size class: its choice so far and what the trials measured.
struct ChoiceReport {
  Kernel kernel;
  SizeClass size;
  bool decided;
  Candidate choice;  // the kept one, or the one used until the trials end
  int trials;        // conversions timed
  double cost_ms;    // what the trials cost beyond the kept candidate's speed
  std::vector<std::pair<Candidate, double>> rates;  // best source bytes/s each
};

class Dispatcher {
 public:
  explicit Dispatcher(Settings settings);
  Dispatcher(const Dispatcher &) = delete;
  Dispatcher &operator=(const Dispatcher &) = delete;

  // Runs `run(const Candidate &, first, end)` over the pixels [0, pixels)
  // with the candidate for this kernel and size. During the trials it times
  // the runs; a frame beyond the cache is then converted in parts of
  // kTrialPartPixels, each a trial of its own, so that the trials cost a
  // part of one or two frames rather than a dozen whole ones.
  template <typename Run>
  void Convert(Kernel kernel, uint64_t pixels, uint64_t src_bytes, uint64_t dst_bytes, Run &&run) {
    const SizeClass size = ClassOf(src_bytes, dst_bytes);
    const auto &list = candidates_[static_cast<int>(size)];
    Slot &slot = slots_[static_cast<int>(kernel)][static_cast<int>(size)];
    const int chosen = slot.chosen.load(std::memory_order_acquire);
    if (chosen >= 0) {
      run(list[chosen], uint64_t{0}, pixels);
      return;
    }
    // Short frames are never timed: they go on without a lock, every frame.
    if (src_bytes < kTrialMinBytes) {
      run(list[provisional_[static_cast<int>(size)]], uint64_t{0}, pixels);
      return;
    }
    const uint64_t part = size == SizeClass::kUncached ? kTrialPartPixels : pixels;
    for (uint64_t first = 0; first < pixels;) {
      // A short remainder joins the last part.
      const uint64_t end = pixels - first < part + part / 2 ? pixels : first + part;
      const uint64_t bytes = src_bytes / pixels * (end - first);
      const int trial = BeginTrial(slot, size);
      if (trial < 0) {
        run(list[-1 - trial], first, end);
      } else {
        const auto start = std::chrono::steady_clock::now();
        run(list[trial], first, end);
        EndTrial(slot, size, trial, bytes, std::chrono::steady_clock::now() - start);
      }
      first = end;
    }
  }

  std::vector<Candidate> Candidates(SizeClass size) const;
  const std::string &Warning() const { return warning_; }
  std::vector<ChoiceReport> Reports() const;

  // Trials per candidate, interleaved with the others, the best counting.
  static constexpr int kRounds[] = {5, 3};
  static_assert(std::size(kRounds) == kSizeClassCount, "rounds for each size class");
  // Once every candidate has had two trials, one this much slower than the
  // best so far is not tried again.
  static constexpr double kPruneFactor = 1.25;
  // A whole number of 64-pixel steps, so every part keeps the alignment of
  // the whole frame's destinations.
  static constexpr uint64_t kTrialPartPixels = 256 * 1024;
  // Shorter conversions are not timed (the clock's own cost would decide);
  // they use the widest table with ordinary stores until the choice is made.
  static constexpr uint64_t kTrialMinBytes = 64 * 1024;

 private:
  static constexpr int kMaxCandidates = 8;
  struct Slot {
    std::atomic<int> chosen{-1};
    mutable std::mutex mutex;
    bool warmed = false;  // the first frame warms caches and pages, untimed
    std::array<bool, kMaxCandidates> pruned{};
    std::array<int, kMaxCandidates> issued{};
    std::array<int, kMaxCandidates> timed{};
    std::array<double, kMaxCandidates> best{};  // seconds per source byte
    int trials = 0;
    double seconds = 0;
    double bytes = 0;
  };

  // The candidate to time, or -1 - the candidate to use untimed.
  int BeginTrial(Slot &slot, SizeClass size);
  void EndTrial(Slot &slot, SizeClass size, int trial, uint64_t src_bytes,
                std::chrono::steady_clock::duration took);

  // Fixed arrays: nothing to free when the library is unloaded or the
  // process exits while a thread may still be converting.
  std::array<std::array<Candidate, kMaxCandidates>, kSizeClassCount> candidates_{};
  std::array<int, kSizeClassCount> counts_{};
  std::array<int, kSizeClassCount> provisional_{};
  std::array<std::array<Slot, kSizeClassCount>, kKernelCount> slots_;
  std::string warning_;
};

// The process's dispatcher, from the environment at the first conversion.
Dispatcher &Dispatch();

}  // namespace grabline::kernels
