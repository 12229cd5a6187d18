#include "acq/kernel_dispatch.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

#include "platform/debug_output.hpp"
#include "platform/os.hpp"

namespace grabline::kernels {
namespace {

constexpr const char *kKernelNames[] = {"split3x8", "split4x8", "split3x16", "split30", "copy"};
static_assert(std::size(kKernelNames) == kKernelCount, "one name per kernel");

// A frame that fits the cache is read by the application next, from the
// cache; a streamed one has left it, which costs the reader more than the
// conversion saves. So only frames beyond the cache try streaming stores
// unless the environment asks otherwise.
bool StreamTried(SizeClass size, StreamSetting setting, bool stream) {
  switch (setting) {
    case StreamSetting::kAlways:
      return stream;
    case StreamSetting::kNever:
      return !stream;
    case StreamSetting::kAuto:
      break;
  }
  return size == SizeClass::kUncached || !stream;
}

// A cache we cannot size is taken to be a small one: streaming a frame that
// would have fitted costs far less than evicting everything for one that
// does not.
constexpr uint64_t kUnknownCacheBytes = 8u << 20;
// Virtual machines report the whole host's cache; beyond this much, a frame
// is not going to stay in the part this process really gets.
constexpr uint64_t kLargestUsefulCacheBytes = 32u << 20;

}  // namespace

uint64_t CacheShareBytes() {
  static const uint64_t share = [] {
    const uint64_t llc = os::LastLevelCacheBytes();
    return std::min(llc > 0 ? llc : kUnknownCacheBytes, kLargestUsefulCacheBytes) / 2;
  }();
  return share;
}

const char *KernelName(Kernel kernel) { return kKernelNames[static_cast<int>(kernel)]; }

const char *SizeClassName(SizeClass size) {
  return size == SizeClass::kCached ? "cached" : "uncached";
}

SizeClass ClassOf(uint64_t src_bytes, uint64_t dst_bytes) {
  return src_bytes + dst_bytes > CacheShareBytes() ? SizeClass::kUncached : SizeClass::kCached;
}

Settings ParseSettings(const char *kernels, const char *stream) {
  Settings settings;
  if (kernels != nullptr && *kernels != '\0') {
    for (const KernelTable *table : SupportedKernels()) {
      if (std::strcmp(table->name, kernels) == 0) settings.table = table;
    }
    if (settings.table == nullptr) {
      settings.warning = std::string("GRABLINE_KERNELS=") + kernels +
                         ": not a table this CPU supports (scalar, ssse3, avx2, avx512); "
                         "the tables are timed instead\n";
    }
  }
  if (stream != nullptr && *stream != '\0') {
    if (std::strcmp(stream, "always") == 0) {
      settings.stream = StreamSetting::kAlways;
    } else if (std::strcmp(stream, "never") == 0) {
      settings.stream = StreamSetting::kNever;
    } else if (std::strcmp(stream, "auto") != 0) {
      settings.warning += std::string("GRABLINE_STREAM=") + stream +
                          ": not one of auto, always, never; taken as auto\n";
    }
  }
  return settings;
}

Dispatcher::Dispatcher(Settings settings) : warning_(std::move(settings.warning)) {
  std::vector<const KernelTable *> tables;
  if (settings.table != nullptr) {
    tables.push_back(settings.table);
  } else {
    // The scalar table is the oracle, not a contender: every vector table
    // beats it several times over (its copy is memcpy, which the others'
    // ordinary copies are too).
    tables = SupportedKernels();
    if (tables.size() > 1) tables.erase(tables.begin());
  }
  for (int s = 0; s < kSizeClassCount; ++s) {
    const auto size = static_cast<SizeClass>(s);
    auto &list = candidates_[s];
    int &count = counts_[s];
    for (const KernelTable *table : tables) {
      for (const bool stream : {false, true}) {
        if (StreamTried(size, settings.stream, stream)) list[count++] = {table, stream};
      }
    }
    // Until the trials end, short conversions take the widest table, with
    // ordinary stores where they are tried.
    provisional_[s] = count - 1;
    if (count > 1 && list[count - 2].table == list[count - 1].table) provisional_[s] = count - 2;
    if (count == 1) {
      for (auto &per_kernel : slots_) per_kernel[s].chosen.store(0, std::memory_order_relaxed);
    }
  }
}

int Dispatcher::BeginTrial(Slot &slot, SizeClass size) {
  const int count = counts_[static_cast<int>(size)];
  const int provisional = -1 - provisional_[static_cast<int>(size)];
  std::lock_guard lock(slot.mutex);
  const int chosen = slot.chosen.load(std::memory_order_relaxed);
  if (chosen >= 0) return -1 - chosen;
  if (!slot.warmed) {
    slot.warmed = true;
    slot.best.fill(std::numeric_limits<double>::infinity());
    return provisional;
  }
  // The candidate tried least so far; none while the last trials are out.
  int next = -1;
  for (int c = 0; c < count; ++c) {
    if (!slot.pruned[c] && (next < 0 || slot.issued[c] < slot.issued[next])) next = c;
  }
  if (slot.issued[next] >= kRounds[static_cast<int>(size)]) return provisional;
  ++slot.issued[next];
  return next;
}

void Dispatcher::EndTrial(Slot &slot, SizeClass size, int trial, uint64_t src_bytes,
                          std::chrono::steady_clock::duration took) {
  const int count = counts_[static_cast<int>(size)];
  const double seconds = std::chrono::duration<double>(took).count();
  std::lock_guard lock(slot.mutex);
  slot.best[trial] = std::min(slot.best[trial], seconds / static_cast<double>(src_bytes));
  ++slot.timed[trial];
  ++slot.trials;
  slot.seconds += seconds;
  slot.bytes += static_cast<double>(src_bytes);
  const int rounds = kRounds[static_cast<int>(size)];
  // The very first trials still meet cold caches and pages now and then: a
  // candidate is judged on its best of two before it can be pruned.
  const int judged_after = std::min(2, rounds);
  int best = -1;
  bool all_judged = true;
  for (int c = 0; c < count; ++c) {
    if (slot.pruned[c]) continue;
    all_judged = all_judged && slot.timed[c] >= judged_after;
    if (best < 0 || slot.best[c] < slot.best[best]) best = c;
  }
  // Pruning first: the last trial of a candidate that is pruned now must
  // not keep the others waiting for it.
  bool all_done = true;
  for (int c = 0; c < count; ++c) {
    if (all_judged && slot.best[c] > kPruneFactor * slot.best[best]) slot.pruned[c] = true;
    all_done = all_done && (slot.pruned[c] || slot.timed[c] >= rounds);
  }
  if (all_done) slot.chosen.store(best, std::memory_order_release);
}

std::vector<ChoiceReport> Dispatcher::Reports() const {
  std::vector<ChoiceReport> reports;
  for (int k = 0; k < kKernelCount; ++k) {
    for (int s = 0; s < kSizeClassCount; ++s) {
      const Slot &slot = slots_[k][s];
      const auto &list = candidates_[s];
      const auto count = static_cast<size_t>(counts_[s]);
      std::lock_guard lock(slot.mutex);
      const int chosen = slot.chosen.load(std::memory_order_acquire);
      ChoiceReport r{static_cast<Kernel>(k),
                     static_cast<SizeClass>(s),
                     chosen >= 0,
                     list[chosen >= 0 ? chosen : provisional_[s]],
                     slot.trials,
                     0,
                     {}};
      for (size_t c = 0; c < count && slot.trials > 0; ++c) {
        const double seconds_per_byte = slot.best[c];
        r.rates.emplace_back(list[c], std::isfinite(seconds_per_byte) && seconds_per_byte > 0
                                          ? 1 / seconds_per_byte
                                          : 0);
      }
      if (chosen >= 0 && slot.trials > 0) {
        r.cost_ms = 1e3 * std::max(0.0, slot.seconds - slot.bytes * slot.best[chosen]);
      }
      reports.push_back(std::move(r));
    }
  }
  return reports;
}

std::vector<Candidate> Dispatcher::Candidates(SizeClass size) const {
  const auto &list = candidates_[static_cast<int>(size)];
  return {list.begin(), list.begin() + counts_[static_cast<int>(size)]};
}

namespace {

// The environment's settings; what it asks for wrongly goes to the debug
// output once, as the process's dispatcher is made.
Settings SettingsFromEnvironment() {
  Settings settings =
      ParseSettings(std::getenv("GRABLINE_KERNELS"), std::getenv("GRABLINE_STREAM"));
  if (!settings.warning.empty()) os::OutputDebugString(settings.warning.c_str());
  return settings;
}

}  // namespace

Dispatcher &Dispatch() {
  static Dispatcher dispatcher(SettingsFromEnvironment());
  return dispatcher;
}

}  // namespace grabline::kernels
