// Every vector kernel this CPU can run against the scalar reference: odd
// counts around each vector width, destinations at every alignment, with and
// without streaming stores. Sources end exactly at their allocation, so an
// over-read is the sanitizer's to catch; guard elements before and after
// each output catch an over-write.
#include "acq/pixel_kernels.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "acq/kernel_dispatch.hpp"
#include "support/test_os.hpp"

namespace grabline::kernels {
namespace {

constexpr uint64_t kCounts[] = {0, 1, 2, 15, 16, 17, 31, 33, 63, 64, 65, 127, 129, 200, 1000};
constexpr int kGuard = 8;

// A source of exactly `count` elements starting `shift` elements into its
// allocation, filled with a pattern that differs in every byte position.
template <typename T>
struct Source {
  Source(uint64_t count, int shift) : block(new T[count + shift]), data(block.get() + shift) {
    for (uint64_t i = 0; i < count; ++i) {
      data[i] = static_cast<T>(0x9E3779B97F4A7C15ull * (i + 1) >> 17);
    }
  }
  std::unique_ptr<T[]> block;
  T *data;
};

// An output of `count` elements `shift` (below 64) elements past a 64-byte
// boundary, with guard elements on both sides.
template <typename T>
struct Output {
  Output(uint64_t count, int shift) : shift(shift), count(count), block(count + 128 + 2 * kGuard) {
    for (auto &v : block) v = static_cast<T>(0xA5A5A5A5u);
  }
  T *data() { return Start() + kGuard + shift; }
  T *Start() {
    auto address = reinterpret_cast<uintptr_t>(block.data());
    return block.data() + ((64 - address % 64) % 64) / sizeof(T);
  }
  bool GuardsIntact() {
    const T *d = data();
    for (int g = 1; g <= kGuard; ++g) {
      if (d[-g] != static_cast<T>(0xA5A5A5A5u) || d[count + g - 1] != static_cast<T>(0xA5A5A5A5u))
        return false;
    }
    return true;
  }
  std::vector<T> Values() { return std::vector<T>(data(), data() + count); }
  int shift;
  uint64_t count;
  std::vector<T> block;
};

class PixelKernels : public ::testing::TestWithParam<const KernelTable *> {
 protected:
  const KernelTable &table() const { return *GetParam(); }
  const KernelTable &oracle() const { return ScalarKernels(); }
};

std::string Case(uint64_t n, int shift, bool stream) {
  return std::to_string(n) + " pixels, destinations " + std::to_string(shift) +
         " elements off, stream " + (stream ? "on" : "off");
}

TEST_P(PixelKernels, ThreeAndFourByteSplitsMatchTheReference) {
  for (const uint64_t n : kCounts) {
    for (const int shift : {0, 1, 5, 16, 33}) {
      for (const bool stream : {false, true}) {
        const Source<uint8_t> s3(3 * n, shift % 3), s4(4 * n, shift % 4);
        Output<uint8_t> got[4] = {{n, shift}, {n, shift + 7}, {n, shift}, {n, shift + 1}};
        Output<uint8_t> want[4] = {{n, 0}, {n, 0}, {n, 0}, {n, 0}};
        table().split3x8(n, s3.data, got[0].data(), got[1].data(), got[2].data(), stream);
        oracle().split3x8(n, s3.data, want[0].data(), want[1].data(), want[2].data(), false);
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ(got[k].Values(), want[k].Values())
              << "24-bit, channel " << k << ", " << Case(n, shift, stream);
          ASSERT_TRUE(got[k].GuardsIntact())
              << "24-bit, channel " << k << ", " << Case(n, shift, stream);
        }
        table().split4x8(n, s4.data, got[0].data(), got[1].data(), got[2].data(), got[3].data(),
                         stream);
        oracle().split4x8(n, s4.data, want[0].data(), want[1].data(), want[2].data(),
                          want[3].data(), false);
        for (int k = 0; k < 4; ++k) {
          ASSERT_EQ(got[k].Values(), want[k].Values())
              << "32-bit, channel " << k << ", " << Case(n, shift, stream);
          ASSERT_TRUE(got[k].GuardsIntact())
              << "32-bit, channel " << k << ", " << Case(n, shift, stream);
        }
      }
    }
  }
}

TEST_P(PixelKernels, SixteenBitSplitsMatchTheReference) {
  for (const uint64_t n : kCounts) {
    for (const int shift : {0, 1, 3, 8, 17}) {
      for (const bool stream : {false, true}) {
        const Source<uint16_t> s36(3 * n, shift % 3);
        const Source<uint32_t> s30(n, shift % 2);
        Output<uint16_t> got[3] = {{n, shift}, {n, shift + 3}, {n, shift}};
        Output<uint16_t> want[3] = {{n, 0}, {n, 0}, {n, 0}};
        table().split3x16(n, s36.data, got[0].data(), got[1].data(), got[2].data(), stream);
        oracle().split3x16(n, s36.data, want[0].data(), want[1].data(), want[2].data(), false);
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ(got[k].Values(), want[k].Values())
              << "36-bit, channel " << k << ", " << Case(n, shift, stream);
          ASSERT_TRUE(got[k].GuardsIntact()) << "36-bit, " << Case(n, shift, stream);
        }
        // With the unpack buffer, and without it (it is left out when a
        // frame would not fit it).
        for (const bool with_unpack : {true, false}) {
          Output<uint16_t> unpack(3 * n, shift + 1), unpack_want(3 * n, 0);
          table().split30(n, s30.data, with_unpack ? unpack.data() : nullptr, got[0].data(),
                          got[1].data(), got[2].data(), stream);
          oracle().split30(n, s30.data, unpack_want.data(), want[0].data(), want[1].data(),
                           want[2].data(), false);
          for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(got[k].Values(), want[k].Values())
                << "30-bit, channel " << k << ", " << Case(n, shift, stream);
            ASSERT_TRUE(got[k].GuardsIntact()) << "30-bit, " << Case(n, shift, stream);
          }
          if (with_unpack) {
            ASSERT_EQ(unpack.Values(), unpack_want.Values())
                << "unpack, " << Case(n, shift, stream);
          }
          ASSERT_TRUE(unpack.GuardsIntact()) << "unpack, " << Case(n, shift, stream);
        }
      }
    }
  }
}

// Planes from separate allocations: one on a line boundary, one a single
// element past it (the longest head), the others in between, the first plane
// always the one without a head, so each plane's scalar head ends somewhere
// else and the vector part must wait for the latest of them. (Output places
// data kGuard elements plus the shift past a line boundary.) The counts leave
// a last line that fits one plane but not another.
TEST_P(PixelKernels, PlanesOfUnrelatedAlignmentsStayExact) {
  for (const uint64_t n : {190, 191, 1000, 4163}) {
    for (const bool stream : {false, true}) {
      const Source<uint8_t> s3(3 * n, 0), s4(4 * n, 1);
      const Source<uint16_t> s36(3 * n, 2);
      const Source<uint32_t> s30(n, 1);
      Output<uint8_t> b[4] = {{n, 56}, {n, 57}, {n, 31}, {n, 1}};
      Output<uint8_t> bw[4] = {{n, 0}, {n, 0}, {n, 0}, {n, 0}};
      table().split3x8(n, s3.data, b[0].data(), b[1].data(), b[2].data(), stream);
      oracle().split3x8(n, s3.data, bw[0].data(), bw[1].data(), bw[2].data(), false);
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(b[k].Values(), bw[k].Values()) << "24-bit " << k << ", " << Case(n, 0, stream);
        ASSERT_TRUE(b[k].GuardsIntact()) << "24-bit " << k << ", " << Case(n, 0, stream);
      }
      table().split4x8(n, s4.data, b[0].data(), b[3].data(), b[1].data(), b[2].data(), stream);
      oracle().split4x8(n, s4.data, bw[0].data(), bw[3].data(), bw[1].data(), bw[2].data(), false);
      for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(b[k].Values(), bw[k].Values()) << "32-bit " << k << ", " << Case(n, 0, stream);
        ASSERT_TRUE(b[k].GuardsIntact()) << "32-bit " << k << ", " << Case(n, 0, stream);
      }
      Output<uint16_t> w[4] = {{n, 24}, {n, 25}, {n, 7}, {3 * n, 5}};
      Output<uint16_t> ww[4] = {{n, 0}, {n, 0}, {n, 0}, {3 * n, 0}};
      table().split3x16(n, s36.data, w[0].data(), w[1].data(), w[2].data(), stream);
      oracle().split3x16(n, s36.data, ww[0].data(), ww[1].data(), ww[2].data(), false);
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(w[k].Values(), ww[k].Values()) << "36-bit " << k << ", " << Case(n, 0, stream);
      }
      table().split30(n, s30.data, w[3].data(), w[0].data(), w[1].data(), w[2].data(), stream);
      oracle().split30(n, s30.data, ww[3].data(), ww[0].data(), ww[1].data(), ww[2].data(), false);
      for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(w[k].Values(), ww[k].Values()) << "30-bit " << k << ", " << Case(n, 0, stream);
        ASSERT_TRUE(w[k].GuardsIntact()) << "30-bit " << k << ", " << Case(n, 0, stream);
      }
    }
  }
}

TEST_P(PixelKernels, CopyIsExactAtEveryAlignment) {
  for (const uint64_t n : {0, 1, 63, 64, 65, 255, 257, 1000, 4099}) {
    for (const int shift : {0, 1, 7, 31, 32}) {
      for (const bool stream : {false, true}) {
        const Source<uint8_t> src(n, shift % 5);
        Output<uint8_t> got(n, shift);
        table().copy(n, src.data, got.data(), stream);
        ASSERT_EQ(got.Values(), std::vector<uint8_t>(src.data, src.data + n))
            << Case(n, shift, stream);
        ASSERT_TRUE(got.GuardsIntact()) << Case(n, shift, stream);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySupportedTable, PixelKernels, ::testing::ValuesIn(SupportedKernels()),
                         [](const auto &info) { return std::string(info.param->name); });

// The field values must come out unmasked by nothing but the 10-bit mask: a
// word with every bit set is the case a wrong shift or a saturating pack
// would get wrong.
TEST(PixelKernelChoice, AllOnesWordsGiveTheFullTenBitFieldsInEveryTable) {
  constexpr uint64_t n = 100;
  const std::vector<uint32_t> src(n, 0xFFFFFFFFu);
  for (const KernelTable *table : SupportedKernels()) {
    std::vector<uint16_t> c[3], unpack(3 * n);
    for (auto &channel : c) channel.assign(n, 0);
    table->split30(n, src.data(), unpack.data(), c[0].data(), c[1].data(), c[2].data(), false);
    for (const auto &channel : c) EXPECT_EQ(channel, std::vector<uint16_t>(n, 1023)) << table->name;
    EXPECT_EQ(unpack, std::vector<uint16_t>(3 * n, 1023)) << table->name;
  }
}

TEST(PixelKernelChoice, ScalarTableFirstInTheSupportedList) {
  const std::vector<const KernelTable *> tables = SupportedKernels();
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(tables.front(), &ScalarKernels());
}

TEST(PixelKernelChoice, SizeClassesSplitAtTheCacheShare) {
  const uint64_t share = CacheShareBytes();
  EXPECT_GE(share, uint64_t{1} << 20);
  EXPECT_LE(share, uint64_t{16} << 20);
  EXPECT_EQ(ClassOf(0, 0), SizeClass::kCached);
  EXPECT_EQ(ClassOf(share / 2, share / 2), SizeClass::kCached);
  EXPECT_EQ(ClassOf(share / 2, share / 2 + 1), SizeClass::kUncached);
  // A 4096 x 3072 frame of 24-bit pixels and its three planes.
  EXPECT_EQ(ClassOf(37748736, 37748736), SizeClass::kUncached);
}

TEST(PixelKernelChoice, SettingsFromTheEnvironment) {
  for (const KernelTable *table : SupportedKernels()) {
    const Settings s = ParseSettings(table->name, "never");
    EXPECT_EQ(s.table, table);
    EXPECT_EQ(s.stream, StreamSetting::kNever);
    EXPECT_EQ(s.warning, "");
  }
  const Settings unset = ParseSettings(nullptr, "");
  EXPECT_EQ(unset.table, nullptr);
  EXPECT_EQ(unset.stream, StreamSetting::kAuto);
  EXPECT_EQ(ParseSettings("", "always").stream, StreamSetting::kAlways);
  const Settings wrong = ParseSettings("avx1024", "often");
  EXPECT_EQ(wrong.table, nullptr);
  EXPECT_EQ(wrong.stream, StreamSetting::kAuto);
  EXPECT_EQ(
      wrong.warning,
      "GRABLINE_KERNELS=avx1024: not a table this CPU supports (scalar, ssse3, avx2, avx512); "
      "the tables are timed instead\n"
      "GRABLINE_STREAM=often: not one of auto, always, never; taken as auto\n");
}

// Frames of a size class through a dispatcher, each against the scalar table.
struct Frames {
  explicit Frames(uint64_t pixels) : pixels(pixels), src(3 * pixels, 0), out(3), expected(3) {
    for (uint64_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    for (int k = 0; k < 3; ++k) expected[k].assign(pixels, 0);
    ScalarKernels().split3x8(pixels, src.data(), expected[0].data(), expected[1].data(),
                             expected[2].data(), false);
  }
  // Converts one frame; false if a plane differs from the scalar table's.
  bool Convert(Dispatcher &d) {
    for (auto &plane : out) plane.assign(pixels, 0);
    d.Convert(Kernel::kSplit3x8, pixels, 3 * pixels, 3 * pixels,
              [&](const Candidate &c, uint64_t i, uint64_t end) {
                c.table->split3x8(end - i, src.data() + 3 * i, out[0].data() + i, out[1].data() + i,
                                  out[2].data() + i, c.stream);
              });
    return out == expected;
  }
  ChoiceReport Report(const Dispatcher &d) const {
    const SizeClass size = ClassOf(3 * pixels, 3 * pixels);
    for (const ChoiceReport &r : d.Reports()) {
      if (r.kernel == Kernel::kSplit3x8 && r.size == size) return r;
    }
    return {};
  }
  uint64_t pixels;
  std::vector<uint8_t> src;
  std::vector<std::vector<uint8_t>> out, expected;
};

// The trials end in one of the candidates within a known number of frames,
// whatever the clock said; every frame, timed or not, is exact. Frames that
// fit the cache only try ordinary stores.
TEST(PixelKernelChoice, TrialsEndInAChoiceAndEveryFrameIsExact) {
  for (const uint64_t pixels : {uint64_t{64} << 10, CacheShareBytes() / 3 + 1}) {
    Dispatcher d{Settings{}};
    Frames frames(pixels);
    const SizeClass size = ClassOf(3 * pixels, 3 * pixels);
    const std::vector<Candidate> candidates = d.Candidates(size);
    const int most =
        1 + Dispatcher::kRounds[static_cast<int>(size)] * static_cast<int>(candidates.size());
    int frame = 0;
    for (; frame < most && !frames.Report(d).decided; ++frame) {
      ASSERT_TRUE(frames.Convert(d)) << "frame " << frame << " of " << pixels << " pixels";
    }
    const ChoiceReport r = frames.Report(d);
    ASSERT_TRUE(r.decided) << pixels << " pixels";
    EXPECT_LE(r.trials, most - 1);
    bool among = false;
    for (const Candidate &c : candidates) {
      among = among || (c.table == r.choice.table && c.stream == r.choice.stream);
      EXPECT_TRUE(size == SizeClass::kUncached || !c.stream) << c.table->name;
    }
    EXPECT_TRUE(among);
    if (SupportedKernels().size() > 1) {
      EXPECT_NE(r.choice.table, &ScalarKernels());
    }
    EXPECT_TRUE(frames.Convert(d));
  }
  // Short conversions are never timed, so they never end the trials.
  Dispatcher d{Settings{}};
  Frames small(1000);
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(small.Convert(d));
  EXPECT_EQ(small.Report(d).trials, 0);
}

TEST(PixelKernelChoice, ForcedTableAndStoreKindAreUsedWithoutTrials) {
  for (const KernelTable *table : SupportedKernels()) {
    for (const StreamSetting stream : {StreamSetting::kAlways, StreamSetting::kNever}) {
      Dispatcher d{Settings{table, stream, ""}};
      Frames frames(uint64_t{64} << 10);
      ASSERT_TRUE(frames.Convert(d));
      const ChoiceReport r = frames.Report(d);
      EXPECT_TRUE(r.decided);
      EXPECT_EQ(r.trials, 0);
      EXPECT_EQ(r.choice.table, table);
      EXPECT_EQ(r.choice.stream, stream == StreamSetting::kAlways) << table->name;
    }
  }
}

// The process's own dispatcher reads the environment once, at the first
// conversion: each forcing is checked in a fresh process.
TEST(PixelKernelChoice, EnvironmentForcesTheProcessDispatcher) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const KernelTable *table : SupportedKernels()) {
    ::grabline::testing::SetEnv("GRABLINE_KERNELS", table->name);
    ::grabline::testing::SetEnv("GRABLINE_STREAM", "always");
    EXPECT_EXIT(
        {
          Frames frames(uint64_t{64} << 10);
          const bool exact = frames.Convert(Dispatch());
          const ChoiceReport r = frames.Report(Dispatch());
          std::exit(exact && r.decided && r.choice.table == table && r.choice.stream ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << table->name;
  }
  ::grabline::testing::SetEnv("GRABLINE_KERNELS", nullptr);
  ::grabline::testing::SetEnv("GRABLINE_STREAM", nullptr);
}

}  // namespace
}  // namespace grabline::kernels
