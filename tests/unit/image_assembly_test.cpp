// A filled ring buffer becomes host images: a hand-made ring under a private
// record, assembled directly, with the host's books and logs checked.
#include "acq/image_assembly.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "acq/ring_build.hpp"
#include "bfsim_control.hpp"
#include "board/records.hpp"
#include "board/ring_memory.hpp"
#include "plugin/operations.hpp"
#include "plugin/result_codes.hpp"
#include "support/test_os.hpp"
#include "tarvel_host.hpp"
#include "unit/host_fixture.hpp"

namespace grabline {
namespace {

struct Format {
  int32_t bits;
  int32_t channels;
  uint32_t buffer_bytes;  // bytes a pixel in the ring buffer
};
constexpr Format kGray8{8, 1, 1}, kGray12{12, 1, 2}, kGray24{24, 1, 4};
constexpr Format kRgb24{8, 3, 3}, kRgb32{8, 4, 4}, kRgb30{10, 3, 4}, kRgb36{12, 3, 6};

class ImageAssembly : public tarvel::testing::HostTest {
 protected:
  void TearDown() override {
    images_.clear();
    EXPECT_EQ(tarvel::OutstandingImages(), 0u);
    tarvel::SetGlobalVariable64(0);
    HostTest::TearDown();
  }

  // A ring of `n` buffers of `width` x `height` frames, each buffer exactly as
  // large as a frame so that any read beyond it is caught.
  void MakeRing(Format format, int32_t width, int32_t height, uint32_t n = 4) {
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    buffers_.assign(n, std::vector<uint8_t>(pixels * format.buffer_bytes));
    addresses_.clear();
    for (auto &buffer : buffers_) addresses_.push_back(buffer.data());
    const bool unpacks = format.bits == 10 && format.channels == 3;
    unpack_.assign(unpacks ? n : 0, std::vector<uint16_t>(pixels * 3, 0xEEEE));
    unpack_addresses_.assign(n, nullptr);
    for (size_t i = 0; i < unpack_.size(); ++i) unpack_addresses_[i] = unpack_[i].data();
    state_ = std::make_unique<std::atomic<uint32_t>[]>(n);
    ss_lines_.assign(n, 0);
    enc_count_.assign(n, 0);

    inst_.ring.frame_buffer = addresses_.data();
    inst_.ring.unpack_buffer = unpacks ? unpack_addresses_.data() : nullptr;
    inst_.ring.count = n;
    inst_.ring.buffer_size = pixels * format.buffer_bytes;
    inst_.ring.unpack_size = unpacks ? pixels * 6 : 0;
    inst_.ring.state = state_.get();
    inst_.ring.ss_lines = ss_lines_.data();
    inst_.ring.encoder_count = enc_count_.data();
    fginst_.image_width = width;
    fginst_.image_height = height;
    fginst_.bits_per_channel = format.bits;
    fginst_.num_channels = format.channels;
    fginst_.currInst = &inst_;
    fginst_.async_grab = 1;
  }

  // Every byte of buffer `i` from its position.
  template <typename F>
  void Fill(uint32_t i, F byte_at) {
    for (size_t b = 0; b < buffers_[i].size(); ++b) {
      buffers_[i][b] = static_cast<uint8_t>(byte_at(b));
    }
  }
  // The same pixel bytes all over buffer `i`.
  void FillPixels(uint32_t i, std::vector<uint8_t> pixel) {
    Fill(i, [&](size_t b) { return pixel[b % pixel.size()]; });
  }

  Terr Assemble(uint32_t read_buffer) {
    Timage records[4] = {};
    num_ = -1;
    const Terr result = AssembleImages(nullptr, &fginst_, records, &num_, read_buffer);
    images_.clear();
    // Every record is taken over, made or not, so the host's books balance.
    for (const Timage &record : records) images_.emplace_back(record);
    return result;
  }

  int64_t Pixel(int k, int32_t x, int32_t y) const { return images_[k].at(x, y); }
  int32_t Height() const { return images_[0].height(); }

  // The image data of one image, as bytes.
  std::vector<uint8_t> Bytes(int k) const {
    const auto *data = static_cast<const uint8_t *>(images_[k].data());
    const size_t size =
        size_t(images_[k].width()) * images_[k].height() * images_[k].bytes_per_pixel();
    return {data, data + size};
  }

  std::vector<std::vector<uint8_t>> buffers_;
  std::vector<void *> addresses_;
  std::vector<std::vector<uint16_t>> unpack_;
  std::vector<void *> unpack_addresses_;
  std::unique_ptr<std::atomic<uint32_t>[]> state_;
  std::vector<uint32_t> ss_lines_, enc_count_;
  InstanceRecord inst_;
  TFgInstance fginst_{};
  std::vector<tarvel::Image> images_;
  int32_t num_ = -1;
};

// ---- single frames ------------------------------------------------------------------

TEST_F(ImageAssembly, GrayImagesCopyTheBufferWithTypeAndDepth) {
  struct Case {
    Format format;
    int32_t kind;
    int significant_bits;
  };
  for (const Case c : {Case{kGray8, BYTE_IMAGE, 8}, Case{kGray12, UINT2_IMAGE, 12},
                       Case{kGray24, INT4_IMAGE, 32}}) {
    SCOPED_TRACE(c.format.bits);
    MakeRing(c.format, 5, 3);
    Fill(1, [](size_t b) { return b * 7 + 3; });
    enc_count_[1] = 4711;
    tarvel::SetGlobalVariable64(12345);
    ASSERT_EQ(Assemble(1), FG_OK);
    ASSERT_EQ(num_, 1);
    EXPECT_EQ(images_[0].kind(), c.kind);
    EXPECT_EQ(images_[0].width(), 5);
    EXPECT_EQ(Height(), 3);
    EXPECT_TRUE(images_[0].owned());
    EXPECT_EQ(images_[0].significant_bits(), c.significant_bits);
    EXPECT_EQ(Bytes(0), buffers_[1]);
    EXPECT_EQ(inst_.last_encoder_count, 4711u);
    EXPECT_EQ(tarvel::GlobalVariable64(), 12345);
    EXPECT_EQ(fginst_.async_grab, 0);
  }
}

TEST_F(ImageAssembly, Rgb24PixelBytesGoToImagesTwoOneZero) {
  MakeRing(kRgb24, 3, 2);
  FillPixels(0, {10, 20, 30});
  buffers_[0][3 * 5] = 11;  // the last pixel differs, so no pixel is taken from elsewhere
  ASSERT_EQ(Assemble(0), FG_OK);
  ASSERT_EQ(num_, 3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(images_[k].kind(), BYTE_IMAGE);
  EXPECT_EQ(Pixel(0, 0, 0), 30);
  EXPECT_EQ(Pixel(1, 0, 0), 20);
  EXPECT_EQ(Pixel(2, 0, 0), 10);
  EXPECT_EQ(Pixel(2, 2, 1), 11);
  EXPECT_EQ(Pixel(2, 1, 1), 10);
}

TEST_F(ImageAssembly, Rgb32SingleFrameGivesImageZeroTheFirstByte) {
  MakeRing(kRgb32, 2, 2);
  FillPixels(2, {10, 20, 30, 40});
  ASSERT_EQ(Assemble(2), FG_OK);
  ASSERT_EQ(num_, 4);
  EXPECT_EQ((std::vector<int64_t>{Pixel(0, 1, 1), Pixel(1, 1, 1), Pixel(2, 1, 1), Pixel(3, 1, 1)}),
            (std::vector<int64_t>{10, 20, 30, 40}));
}

TEST_F(ImageAssembly, Rgb30FieldsGoToImagesAndUnpackBuffer) {
  MakeRing(kRgb30, 2, 2);
  const uint32_t word = 0xC0000000u | 1023u << 20 | 1u << 10 | 1u;
  for (uint32_t p = 0; p < 4; ++p) std::memcpy(buffers_[3].data() + 4 * p, &word, 4);
  ASSERT_EQ(Assemble(3), FG_OK);
  ASSERT_EQ(num_, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(images_[k].kind(), UINT2_IMAGE);
    EXPECT_EQ(images_[k].significant_bits(), 10);
  }
  EXPECT_EQ(Pixel(0, 1, 1), 1023);
  EXPECT_EQ(Pixel(1, 1, 1), 1);
  EXPECT_EQ(Pixel(2, 1, 1), 1);
  EXPECT_EQ((std::vector<uint16_t>(unpack_[3].begin(), unpack_[3].begin() + 3)),
            (std::vector<uint16_t>{1, 1, 1023}));
  EXPECT_EQ(unpack_[0][0], 0xEEEE) << "only the grabbed buffer is unpacked";
}

TEST_F(ImageAssembly, Rgb36FirstWordGoesToImageTwo) {
  MakeRing(kRgb36, 2, 1);
  const uint16_t pixel[3] = {100, 2000, 4095};
  for (int p = 0; p < 2; ++p) std::memcpy(buffers_[0].data() + 6 * p, pixel, 6);
  ASSERT_EQ(Assemble(0), FG_OK);
  ASSERT_EQ(num_, 3);
  EXPECT_EQ((std::vector<int64_t>{Pixel(0, 1, 0), Pixel(1, 1, 0), Pixel(2, 1, 0)}),
            (std::vector<int64_t>{4095, 2000, 100}));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(images_[k].significant_bits(), 12);
}

TEST_F(ImageAssembly, FrameTimeOfTheLastDayOfALeapYearGoesIntoEveryImage) {
  Terr result = FG_OK;
  {
    const ::grabline::testing::ScopedTimeZone utc("UTC");
    if (!utc.applied()) GTEST_SKIP() << "the system's time zone is not UTC";
    MakeRing(kRgb24, 2, 2);
    inst_.events.last_frame_time_ms = 1735689598765;  // 2024-12-31 23:59:58.765 UTC
    result = Assemble(0);
  }
  ASSERT_EQ(result, FG_OK);
  for (int k = 0; k < 3; ++k) {
    const Timage &r = images_[k].record();
    EXPECT_EQ((std::vector<int>{r.year, r.mon, r.day, r.yday, r.hour, r.min, r.sec, r.msec}),
              (std::vector<int>{2024, 12, 31, 366, 23, 59, 58, 765}))
        << "image " << k;
  }
}

// ---- volatile mode ----------------------------------------------------------------------

TEST_F(ImageAssembly, VolatileImageIsTheRingBufferItself) {
  MakeRing(kGray12, 4, 3);
  inst_.volatile_mode = 1;
  // Neither print grab nor a long start/stop frame may lay it past the buffer.
  inst_.print_grab = 1;
  ASSERT_EQ(Assemble(2), FG_OK);
  ASSERT_EQ(num_, 1);
  EXPECT_EQ(images_[0].data(), addresses_[2]);
  EXPECT_FALSE(images_[0].owned());
  EXPECT_EQ(images_[0].kind(), UINT2_IMAGE);
  EXPECT_EQ(images_[0].significant_bits(), 12);
  EXPECT_EQ(Height(), 3);
  inst_.start_stop = 1;
  ss_lines_[1] = 50;
  ASSERT_EQ(Assemble(1), FG_OK);
  EXPECT_EQ(images_[0].data(), addresses_[1]);
  EXPECT_EQ(Height(), 3);
}

TEST_F(ImageAssembly, FailingVolatileImageIsReportedWithItsCallText) {
  MakeRing(kGray12, 4, 3);
  inst_.volatile_mode = 1;
  tarvel::FailImageCreation(1);
  EXPECT_EQ(Assemble(0), T_ERR_IMAGE);
  EXPECT_EQ(num_, -1);
  EXPECT_EQ(fginst_.async_grab, 1);
  const auto hooks = tarvel::ErrorHookCalls();
  ASSERT_EQ(hooks.size(), 1u);
  EXPECT_EQ(hooks[0].text,
            "TNewImagePtr(proc_id, &image[0], (INT)(1<<10), fginst->image_width, image_height, "
            "(void*)(currInst->InstFrameBuffer[readBuffer]), 0)");
  EXPECT_EQ(hooks[0].code, T_ERR_IMAGE);
  EXPECT_EQ(hooks[0].file, kProfile.source_file);
}

// ---- the host's variable 64 ---------------------------------------------------------------

TEST_F(ImageAssembly, Variable64IsZeroWhileImagesAreCreated) {
  MakeRing(kRgb24, 2, 2);
  tarvel::SetGlobalVariable64(-9);
  tarvel::SetSpying(true);
  ASSERT_EQ(Assemble(0), FG_OK);
  tarvel::SetSpying(false);
  EXPECT_EQ(tarvel::GlobalVariable64(), -9);
  std::vector<std::string> calls;
  for (const auto &spy : tarvel::SpyCalls())
    calls.push_back(spy.text.substr(0, spy.text.find('(')));
  EXPECT_EQ(calls,
            (std::vector<std::string>{"TAccessGlVar", "TAccessGlVar", "TNewImage", "TNewImage",
                                      "TNewImage", "TAccessGlVar", "ExtractRGB24Channels"}));
  const auto spies = tarvel::SpyCalls();
  EXPECT_NE(spies[1].text.find("(double)0"), std::string::npos);
  EXPECT_EQ(spies[5].text,
            "TAccessGlVar(proc_id,64,0,((void *)0),(double)save,(char *)((void *)0),(Tkey)((void "
            "*)0),0)");
}

TEST_F(ImageAssembly, FailedImageCreationRestoresVariable64AndKeepsTheBuffer) {
  MakeRing(kRgb24, 2, 2);
  inst_.cg.enabled = 1;
  inst_.position.next_buffer_returned = 1;
  state_[1] = BufAcquired;
  tarvel::SetGlobalVariable64(12345);
  tarvel::FailImageCreation(2);
  EXPECT_EQ(Assemble(1), T_ERR_IMAGE);
  EXPECT_EQ(tarvel::GlobalVariable64(), 12345);
  EXPECT_EQ(num_, -1);
  const auto hooks = tarvel::ErrorHookCalls();
  ASSERT_EQ(hooks.size(), 1u);
  EXPECT_EQ(hooks[0].text.rfind("TNewImage(", 0), 0u);
  // The buffer stays with the grab, to be returned by the next one.
  EXPECT_EQ(state_[1], BufAcquired);
  EXPECT_EQ(inst_.position.next_buffer_returned, 1u);
  EXPECT_EQ(fginst_.async_grab, 1);
}

// ---- start/stop frames -----------------------------------------------------------------------

TEST_F(ImageAssembly, ShortStartStopFrameIsThreeLinesHigh) {
  MakeRing(kGray8, 4, 6);
  Fill(0, [](size_t b) { return b + 1; });
  inst_.start_stop = 1;
  ss_lines_[0] = 1;
  ASSERT_EQ(Assemble(0), FG_OK);
  ASSERT_EQ(Height(), 3);
  EXPECT_EQ(Bytes(0), std::vector<uint8_t>(buffers_[0].begin(), buffers_[0].begin() + 12));
}

TEST_F(ImageAssembly, LongStartStopFrameReadsOnlyWhatTheBufferHoldsAndZeroesTheRest) {
  for (const Format format : {kGray12, kRgb24, kRgb30}) {
    SCOPED_TRACE(format.bits * format.channels);
    MakeRing(format, 3, 4);
    Fill(2, [](size_t b) { return b * 3 + 1; });  // no channel of any pixel is 0
    inst_.start_stop = 1;
    ss_lines_[2] = 7;
    ASSERT_EQ(Assemble(2), FG_OK);
    ASSERT_EQ(Height(), 7);
    for (int k = 0; k < num_; ++k) {
      for (int32_t y = 0; y < 7; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
          if (y < 4) {
            EXPECT_NE(Pixel(k, x, y), 0) << "image " << k << " at " << x << "," << y;
          } else {
            EXPECT_EQ(Pixel(k, x, y), 0) << "image " << k << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

// ---- print grab -----------------------------------------------------------------------------

class ImageAssemblyPrintGrab : public ImageAssembly {
 protected:
  // Gray 2 x 2 frames in a ring of 8; every pixel of buffer i holds 10 + i.
  void SetUp() override {
    ImageAssembly::SetUp();
    MakeRing(kGray8, 2, 2, 8);
    for (uint32_t i = 0; i < 8; ++i) FillPixels(i, {uint8_t(10 + i)});
    inst_.print_grab = 1;
    inst_.position.fill_index = 1;
  }
  // The buffer each stacked frame came from.
  std::vector<int64_t> Frames() const {
    std::vector<int64_t> frames;
    for (int32_t y = 0; y < Height(); y += 2) frames.push_back(Pixel(0, 1, y + 1) - 10);
    return frames;
  }
};

TEST_F(ImageAssemblyPrintGrab, StacksTheMostRecentFramesOldestFirst) {
  ASSERT_EQ(Assemble(5), FG_OK);
  EXPECT_EQ(Height(), 6);
  EXPECT_EQ(Frames(), (std::vector<int64_t>{6, 7, 0}));
  inst_.print_grab_offset = 2;
  ASSERT_EQ(Assemble(5), FG_OK);
  EXPECT_EQ(Frames(), (std::vector<int64_t>{4, 5, 6}));
}

TEST_F(ImageAssemblyPrintGrab, CountsAndOffsetsBeyondTheRingWrapRoundIt) {
  inst_.print_grab_offset = 13;
  ASSERT_EQ(Assemble(0), FG_OK);
  EXPECT_EQ(Frames(), (std::vector<int64_t>{1, 2, 3}));
  inst_.print_grab_offset = -20;
  ASSERT_EQ(Assemble(0), FG_OK);
  EXPECT_EQ(Frames(), (std::vector<int64_t>{2, 3, 4}));
  inst_.print_grab_offset = 0;
  inst_.print_grab_number = 10;
  ASSERT_EQ(Assemble(0), FG_OK);
  EXPECT_EQ(Frames(), (std::vector<int64_t>{7, 0, 1, 2, 3, 4, 5, 6, 7, 0}));
}

TEST_F(ImageAssemblyPrintGrab, NumberZeroOrBelowGrabsTheFrameItself) {
  for (const int32_t number : {0, -3}) {
    inst_.print_grab_number = number;
    ASSERT_EQ(Assemble(5), FG_OK);
    EXPECT_EQ(Frames(), (std::vector<int64_t>{5}));
  }
}

TEST_F(ImageAssemblyPrintGrab, StackTallerThanAnImageCanBeIsRefusedBeforeAnythingIsMade) {
  inst_.print_grab_number = 0x40000000;
  const uint64_t image_calls = tarvel::ImageCalls();
  EXPECT_EQ(Assemble(0), FG_ERR_GRAB);
  EXPECT_EQ(tarvel::ImageCalls(), image_calls);
  EXPECT_EQ(num_, -1);
}

TEST_F(ImageAssemblyPrintGrab, Rgb32TakesImageZeroFromTheThirdByte) {
  MakeRing(kRgb32, 2, 2, 8);
  for (uint32_t i = 0; i < 8; ++i) FillPixels(i, {10, 20, 30, uint8_t(40 + i)});
  ASSERT_EQ(Assemble(0), FG_OK);
  ASSERT_EQ(Height(), 6);
  EXPECT_EQ((std::vector<int64_t>{Pixel(0, 0, 5), Pixel(1, 0, 5), Pixel(2, 0, 5)}),
            (std::vector<int64_t>{30, 20, 10}));
  EXPECT_EQ((std::vector<int64_t>{Pixel(3, 0, 0), Pixel(3, 0, 2), Pixel(3, 0, 4)}),
            (std::vector<int64_t>{46, 47, 40}));
}

TEST_F(ImageAssemblyPrintGrab, Rgb30StackKeepsTheChannelDepth) {
  MakeRing(kRgb30, 2, 2, 8);
  for (uint32_t i = 0; i < 8; ++i) {
    const uint32_t word = (500u + i) << 20 | 2u << 10 | 3u;
    for (uint32_t p = 0; p < 4; ++p) std::memcpy(buffers_[i].data() + 4 * p, &word, 4);
  }
  ASSERT_EQ(Assemble(0), FG_OK);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(images_[k].significant_bits(), 10);
  EXPECT_EQ((std::vector<int64_t>{Pixel(0, 1, 1), Pixel(0, 1, 3), Pixel(0, 1, 5)}),
            (std::vector<int64_t>{506, 507, 500}));
  EXPECT_EQ(Pixel(1, 0, 4), 2);
  EXPECT_EQ(Pixel(2, 0, 4), 3);
  EXPECT_EQ(unpack_[7][2], 507) << "each stacked buffer is unpacked";
}

// ---- continuous grabbing ------------------------------------------------------------------------

// The diagnostics this build writes, from its debug output.
class DebugCapture {
 public:
  DebugCapture() {
    path_ = (std::filesystem::temp_directory_path() /
             ("image_assembly_debug_" + std::to_string(::grabline::testing::ProcessId())))
                .string();
    std::remove(path_.c_str());
    ::grabline::testing::SetEnv("GRABLINE_DEBUG_OUTPUT", path_.c_str());
    bfsim::ClearLogs();
  }
  ~DebugCapture() {
    ::grabline::testing::SetEnv("GRABLINE_DEBUG_OUTPUT", nullptr);
    std::remove(path_.c_str());
  }
  std::string Text() const {
    if constexpr (kProfile.sdk_debug_output) {
      std::string text;
      for (const auto &line : bfsim::DebugOutput()) text += line;
      return text;
    }
    std::ifstream file(path_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

TEST_F(ImageAssembly, ContinuousGrabHandsTheBufferBackAndWraps) {
  MakeRing(kGray8, 2, 2, 4);
  inst_.cg.enabled = 1;
  inst_.debug_output = 1;
  inst_.position.next_buffer_returned = 3;
  inst_.position.next_buffer_returned_abs = 10;
  inst_.position.next_buffer_acquired_abs = 12;
  state_[2] = BufAcquired;
  state_[3] = BufAcquired;
  DebugCapture debug;
  ASSERT_EQ(Assemble(3), FG_OK);
  EXPECT_EQ(state_[3], BufFree);
  EXPECT_EQ(state_[2], BufAcquired);
  EXPECT_EQ(inst_.position.next_buffer_returned, 0u);
  EXPECT_EQ(inst_.position.next_buffer_returned_abs, 11u);
  EXPECT_EQ(fginst_.async_grab, 0);
  EXPECT_EQ(debug.Text(), "Proc: 00000003, cur abs 00000010, next abs 00000012, free 00000002\n");

  inst_.volatile_mode = 1;  // every mode hands back
  inst_.debug_output = 0;
  ASSERT_EQ(Assemble(0), FG_OK);
  EXPECT_EQ(inst_.position.next_buffer_returned, 1u);
  EXPECT_EQ(inst_.position.next_buffer_returned_abs, 12u);
}

TEST_F(ImageAssembly, SnapLeavesTheRingCountersAlone) {
  MakeRing(kGray8, 2, 2, 4);
  inst_.position.next_buffer_returned = 2;
  state_[2] = BufAcquired;
  ASSERT_EQ(Assemble(2), FG_OK);
  EXPECT_EQ(state_[2], BufAcquired);
  EXPECT_EQ(inst_.position.next_buffer_returned, 2u);
  EXPECT_EQ(inst_.position.next_buffer_returned_abs, 0u);
}

// ---- parameters ---------------------------------------------------------------------------------

// An instance alone on the simulated default board, with the board's ring of
// two buffers, driven through the parameter dispatch.
class ImageAssemblyParams : public tarvel::testing::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    bfsim::Reset();
    CiENTRY entry{};
    ASSERT_EQ(CiSysBrdFind(CISYS_TYPE_R64, 0, &entry), 0u);
    ASSERT_EQ(CiBrdOpen(&entry, &board_.handle, 257, "default"), 0u);
    ASSERT_EQ(CiBrdCamGetCur(board_.handle, &inst_.camera), 0u);
    uint32_t width = 0, height = 0, bytes = 0;
    ASSERT_EQ(CiBrdInquire(board_.handle, BF_INQ_XSIZE, &width), 0u);
    ASSERT_EQ(CiBrdInquire(board_.handle, BF_INQ_YSIZE, &height), 0u);
    ASSERT_EQ(CiBrdInquire(board_.handle, BF_INQ_BYTES_PER_PIX, &bytes), 0u);
    board_.users = 1;
    board_.ring_users = 1;
    inst_.board = &board_;
    inst_.family_code = CISYS_TYPE_R64;
    inst_.show_error_dlg = 0;
    inst_.ring.in_board_ring = 1;
    inst_.bytes_per_pixel = bytes;
    inst_.ring.buffer_size = uint64_t{width} * height * bytes;
    fginst_.image_width = static_cast<int32_t>(width);
    fginst_.image_height = static_cast<int32_t>(height);
    fginst_.bits_per_channel = 8;
    fginst_.num_channels = 1;
    fginst_.image_alloc = 1;
    fginst_.currInst = &inst_;
    allocations_ = tarvel::OutstandingAllocations();
    ASSERT_EQ(ChangeNumBuffers(nullptr, &fginst_, 2, 1), FG_OK);
    ASSERT_EQ(board_.board_buffer_count, 2u);
  }

  void TearDown() override {
    if (inst_.volatile_mode != 0) {
      EXPECT_EQ(ReturnOwnRing(nullptr, &fginst_), FG_OK);
    }
    EXPECT_EQ(FreeRingBuffers(nullptr, inst_), FG_OK);
    EXPECT_EQ(FreeRingArrays(nullptr, inst_), FG_OK);
    FreeAcquisitionSignal(inst_);
    EXPECT_EQ(FreeBoardRing(nullptr, inst_), FG_OK);
    CiBrdClose(board_.handle);
    EXPECT_EQ(tarvel::OutstandingAllocations(), allocations_);
    bfsim::Reset();
    HostTest::TearDown();
  }

  Terr Set(const char *name, Tcpar value) { return FGSetParam(nullptr, &fginst_, name, &value, 1); }
  static Tcpar Str(const char *text) {
    Tcpar value{};
    value.type = TPAR_STRING;
    value.par.s = const_cast<char *>(text);
    return value;
  }
  static Tcpar Int(int64_t number) {
    Tcpar value{};
    value.type = TPAR_INT;
    value.par.l = number;
    return value;
  }
  std::string Get(const char *name) {
    Tcpar values[2] = {};
    int32_t count = 0;
    EXPECT_EQ(FGGetParam(nullptr, &fginst_, name, values, &count), FG_OK);
    EXPECT_EQ(count, 1);
    return values[0].type == TPAR_STRING ? values[0].par.s : "(not a word)";
  }
  // Sets dma_direction to `word`; the line strides of the QTabs built meanwhile.
  std::vector<int32_t> SetDirection(const char *word, Terr expected) {
    bfsim::RecordCalls(true);
    EXPECT_EQ(Set("dma_direction", Str(word)), expected) << word;
    bfsim::RecordCalls(false);
    std::vector<int32_t> strides;
    for (const auto &call : bfsim::TakeCalls()) {
      if (call.function == "CiRelQTabCreate") {
        strides.push_back(static_cast<int32_t>(call.args.at(3)));
      }
    }
    return strides;
  }

  BoardInfo board_{};
  InstanceRecord inst_;
  TFgInstance fginst_{};
  size_t allocations_ = 0;
};

TEST_F(ImageAssemblyParams, VolatileTakesTheBoardsBuffersAndGivesThemBack) {
  const std::vector<void *> ring(inst_.ring.frame_buffer, inst_.ring.frame_buffer + 2);
  fginst_.image_alloc_data = 99;
  ASSERT_EQ(Set("Volatile", Str("ENABLE")), FG_OK);
  EXPECT_EQ(Get("volatile"), "enable");
  EXPECT_EQ(inst_.ring.own, 1);
  EXPECT_EQ(board_.board_buffer_count, 0u);
  EXPECT_EQ(std::vector<void *>(inst_.ring.frame_buffer, inst_.ring.frame_buffer + 2), ring);
  EXPECT_EQ(fginst_.image_alloc, 0);
  EXPECT_EQ(fginst_.image_alloc_data, 0);
  EXPECT_EQ(Set("volatile", Str("enable")), FG_OK) << "already on";

  ASSERT_EQ(Set("volatile", Str("disable")), FG_OK);
  EXPECT_EQ(Get("volatile"), "disable");
  EXPECT_EQ(inst_.ring.own, 0);
  EXPECT_EQ(board_.board_buffer_count, 2u);
  EXPECT_EQ(fginst_.image_alloc, 1);
  EXPECT_EQ(Set("volatile", Str("Disable")), FG_OK) << "already off";
}

TEST_F(ImageAssemblyParams, VolatileRefusals) {
  EXPECT_EQ(Set("volatile", Int(1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Set("volatile", Str("on")), FG_ERR_PARAM_VALUE);
  fginst_.num_channels = 3;
  EXPECT_EQ(Set("volatile", Str("enable")), FG_ERR_PARAM_VALUE);
  fginst_.num_channels = 1;
  // Moving the ring under a running worker would free what it writes into.
  tarvel::SetLowError(true);
  inst_.cg.enabled = 1;
  EXPECT_EQ(Set("volatile", Str("enable")), FG_ERR_BOARD);
  EXPECT_EQ(tarvel::PrintedMessages(),
            std::vector<std::string>{
                "Volatile mode can not be changed while continuous grabbing is enabled."});
  inst_.cg.enabled = 0;
  EXPECT_EQ(Get("volatile"), "disable");
  EXPECT_EQ(inst_.ring.own, 0);
  EXPECT_EQ(fginst_.image_alloc, 1);
}

TEST_F(ImageAssemblyParams, DmaDirectionRebuildsTheRingWithTheLineOrder) {
  const int32_t pitch = fginst_.image_width * static_cast<int32_t>(inst_.bytes_per_pixel);
  EXPECT_EQ(SetDirection("Bottom-Up", FG_OK), (std::vector<int32_t>{-pitch, -pitch}));
  EXPECT_EQ(Get("dma_direction"), "bottom-up");
  EXPECT_EQ(SetDirection("TOP-DOWN", FG_OK), (std::vector<int32_t>{pitch, pitch}));
  EXPECT_EQ(Get("dma_direction"), "top-down");
  EXPECT_EQ(Set("dma_direction", Str("sideways")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("dma_direction", Int(-1)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(Get("dma_direction"), "top-down");
}

TEST_F(ImageAssemblyParams, DmaDirectionIsStoredEvenWhenTheRingCannotBeRebuilt) {
  tarvel::SetLowError(true);
  inst_.cg.enabled = 1;
  EXPECT_EQ(SetDirection("bottom-up", FG_ERR_BOARD), std::vector<int32_t>{});
  EXPECT_EQ(Get("dma_direction"), "bottom-up");
  inst_.cg.enabled = 0;
  bfsim::FailCall("CiShutdown", 1, BF_ERR_NO_BOARD);
  EXPECT_EQ(Set("dma_direction", Str("top-down")), FG_ERR_BOARD);
  EXPECT_EQ(Get("dma_direction"), "top-down");
  EXPECT_EQ(tarvel::PrintedMessages(),
            (std::vector<std::string>{
                "The number of buffers can not be changed while continuous grabbing is enabled.",
                "Initialization error: CiShutdown() failed"}));
}

TEST_F(ImageAssemblyParams, PrintGrabSettings) {
  ASSERT_EQ(Set("print_grab", Str("Enable")), FG_OK);
  EXPECT_EQ(inst_.print_grab, 1);
  EXPECT_EQ(Set("print_grab", Str("yes")), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("print_grab", Int(0)), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(inst_.print_grab, 1);
  ASSERT_EQ(Set("print_grab_number", Int(-2)), FG_OK);
  ASSERT_EQ(Set("print_grab_offset", Int(INT32_MIN)), FG_OK);
  EXPECT_EQ(inst_.print_grab_number, -2);
  EXPECT_EQ(inst_.print_grab_offset, INT32_MIN);
  // A value the field cannot hold is refused, not cut down to another one.
  EXPECT_EQ(Set("print_grab_number", Int(int64_t{1} << 32 | 3)), FG_ERR_PARAM_VALUE);
  EXPECT_EQ(Set("print_grab_offset", Str("1")), FG_ERR_PARAM_TYPE);
  EXPECT_EQ(inst_.print_grab_number, -2);
  EXPECT_EQ(inst_.print_grab_offset, INT32_MIN);
}

}  // namespace
}  // namespace grabline
