#include "acq/image_assembly.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "acq/pixel_convert.hpp"
#include "board/records.hpp"
#include "platform/os.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"

namespace grabline {
namespace {

// The host's global variable that is held at 0 while images are created.
constexpr int32_t kImageCreationVar = 64;
constexpr int32_t kGlVarWrite = 0;
constexpr int32_t kGlVarRead = 1;

// How one buffer's pixels become images.
struct Layout {
  int32_t kind;        // host type of every image
  int32_t images;      // images a grab yields
  uint32_t src_bytes;  // bytes a pixel in the ring buffer
  uint32_t dst_bytes;  // bytes a pixel in each image
  int32_t bits;        // bits per channel
};

Layout GrayLayout(int32_t bits) {
  if (bits <= 8) return {BYTE_IMAGE, 1, 1, 1, bits};
  if (bits <= 16) return {UINT2_IMAGE, 1, 2, 2, bits};
  return {INT4_IMAGE, 1, 4, 4, bits};
}

Layout LayoutOf(const TFgInstance &fginst, bool single_image) {
  const int32_t bits = fginst.bits_per_channel;
  if (single_image || (fginst.num_channels != 3 && fginst.num_channels != 4)) {
    return GrayLayout(bits);
  }
  if (fginst.num_channels == 4) return {BYTE_IMAGE, 4, 4, 1, bits};
  if (bits == 10) return {UINT2_IMAGE, 3, 4, 2, bits};  // one 32-bit word a pixel
  if (bits == 12) return {UINT2_IMAGE, 3, 6, 2, bits};  // three 16-bit words a pixel
  return {BYTE_IMAGE, 3, 3, 1, bits};
}

uint8_t *Data(const Timage &image) {
  return image.kind == UINT2_IMAGE ? reinterpret_cast<uint8_t *>(image.pixel.u.p) : image.pixel.b;
}

// Clears pixels [from, to) of every image: the part of a frame the buffer
// did not hold.
void ZeroTail(Timage *image, const Layout &layout, uint64_t from, uint64_t to) {
  if (to <= from) return;
  for (int32_t k = 0; k < layout.images; ++k) {
    std::memset(Data(image[k]) + from * layout.dst_bytes, 0, (to - from) * layout.dst_bytes);
  }
}

// Converts `pixels` pixels of one ring buffer into the images at pixel
// `offset`. The 16-bit channel images are handed over as working copies whose
// data pointers are advanced, so the images themselves stay untouched.
Terr FillFrame(const InstanceRecord &inst, Timage *image, const Layout &layout,
               uint32_t buffer_number, uint64_t pixel_offset, uint64_t pixels, bool stacked) {
  const void *source = inst.ring.frame_buffer[buffer_number];
  if (layout.images == 1) {
    return HOST_CALL(
        "CopyGrayPixels(pixels, layout.src_bytes, source, Data(image[0]) + pixel_offset * "
        "layout.dst_bytes)",
        CopyGrayPixels(pixels, layout.src_bytes, source,
                       Data(image[0]) + pixel_offset * layout.dst_bytes));
  }
  if (layout.images == 4) {
    // Stacked frames keep the channel order they have always had: the first
    // and third image swapped against a single frame's.
    if (stacked) {
      return HOST_CALL(
          "ExtractRGB32Channels( pixels, source, image[0].pixel.b + pixel_offset, image[1].pixel.b "
          "+ pixel_offset, image[2].pixel.b + pixel_offset, image[3].pixel.b + pixel_offset)",
          ExtractRGB32Channels(pixels, source, image[0].pixel.b + pixel_offset,
                               image[1].pixel.b + pixel_offset, image[2].pixel.b + pixel_offset,
                               image[3].pixel.b + pixel_offset));
    }
    return HOST_CALL(
        "ExtractRGB32Channels( pixels, source, image[2].pixel.b + pixel_offset, image[1].pixel.b + "
        "pixel_offset, image[0].pixel.b + pixel_offset, image[3].pixel.b + pixel_offset)",
        ExtractRGB32Channels(pixels, source, image[2].pixel.b + pixel_offset,
                             image[1].pixel.b + pixel_offset, image[0].pixel.b + pixel_offset,
                             image[3].pixel.b + pixel_offset));
  }
  if (layout.kind == BYTE_IMAGE) {
    return HOST_CALL(
        "ExtractRGB24Channels(pixels, source, image[2].pixel.b + pixel_offset, image[1].pixel.b + "
        "pixel_offset, image[0].pixel.b + pixel_offset)",
        ExtractRGB24Channels(pixels, source, image[2].pixel.b + pixel_offset,
                             image[1].pixel.b + pixel_offset, image[0].pixel.b + pixel_offset));
  }
  Tuint2_pixel r_img = image[2].pixel.u, g_img = image[1].pixel.u, b_img = image[0].pixel.u;
  r_img.p += pixel_offset;
  g_img.p += pixel_offset;
  b_img.p += pixel_offset;
  if (layout.bits == 10) {
    // The unpack buffer holds one frame; it is left out if a frame would not fit.
    uint16_t *unpack = nullptr;
    if (inst.ring.unpack_buffer != nullptr && pixels * 6 <= inst.ring.unpack_size) {
      unpack = static_cast<uint16_t *>(inst.ring.unpack_buffer[buffer_number]);
    }
    return HOST_CALL("ExtractRGB30Channels(pixels, source, unpack, &r_img, &g_img, &b_img)",
                     ExtractRGB30Channels(pixels, source, unpack, &r_img, &g_img, &b_img));
  }
  return HOST_CALL("ExtractRGB36Channels(pixels, source, &r_img, &g_img, &b_img)",
                   ExtractRGB36Channels(pixels, source, &r_img, &g_img, &b_img));
}

// Hands the buffer the grab returned back to the ring. The worker may move
// the return index on at the same time (overwrite method 'ignore'), so the
// advance is made on whatever index stands there then, never over a step of
// the worker's.
void HandBack(InstanceRecord &inst) {
  const uint32_t n = inst.ring.count;
  if (n == 0 || inst.ring.state == nullptr) return;
  uint32_t index = inst.position.next_buffer_returned.load();
  if (index < n) inst.ring.state[index] = BufFree;
  if (inst.debug_output.load(std::memory_order_relaxed) != 0) {
    const uint32_t returned_abs = inst.position.next_buffer_returned_abs.load();
    const uint32_t acquired_abs = inst.position.next_buffer_acquired_abs.load();
    char text[128];
    std::snprintf(text, sizeof text, "Proc: %08d, cur abs %08d, next abs %08d, free %08d\n",
                  static_cast<int>(index), static_cast<int>(returned_abs),
                  static_cast<int>(acquired_abs),
                  static_cast<int>(n - acquired_abs + returned_abs));
    DebugOutput(inst, text);
  }
  StepReturned(inst.position, n);
}

}  // namespace

void SetImageTime(Timage &image, const os::LocalTime &t) {
  image.msec = t.millisecond;
  image.sec = t.second;
  image.min = t.minute;
  image.hour = t.hour;
  image.day = t.day;
  image.yday = t.day_of_year;
  image.mon = t.month;
  image.year = t.year;
}

Terr AssembleImages(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image,
                    uint32_t readBuffer) {
  InstanceRecord *const found = CurrInst(fginst);
  if (found == nullptr || image == nullptr || num_image == nullptr) return FG_ERR_BOARD;
  InstanceRecord &inst = *found;
  if (inst.ring.frame_buffer == nullptr || readBuffer >= inst.ring.count) {
    return FG_ERR_GRAB;
  }
  const bool volatile_on = inst.volatile_mode != 0;
  const Layout layout = LayoutOf(*fginst, volatile_on);
  const int64_t width = fginst->image_width;
  const int64_t frame_height = fginst->image_height;

  // Lines a ring buffer holds: no frame is read beyond them, whatever line
  // count the board reported.
  const uint64_t line_bytes = width > 0 ? uint64_t(width) * layout.src_bytes : 0;
  const int64_t buffer_lines =
      line_bytes != 0 ? int64_t(std::min<uint64_t>(inst.ring.buffer_size / line_bytes, INT32_MAX))
                      : 0;

  // Height, and the frames stacked into it. Print grab stacks frames only in
  // copy mode, and only a positive number of them.
  int64_t height = frame_height;
  int64_t frames = 1;
  if (inst.start_stop != 0) {
    height =
        std::max<int64_t>(inst.ring.ss_lines != nullptr ? inst.ring.ss_lines[readBuffer] : 0, 3);
  } else if (inst.print_grab != 0 && !volatile_on && inst.print_grab_number > 0) {
    frames = inst.print_grab_number;
    height = frames * frame_height;
  }
  if (inst.ring.encoder_count != nullptr)
    inst.last_encoder_count = inst.ring.encoder_count[readBuffer];
  if (!volatile_on && height > INT32_MAX) {
    PrintErrorf("The image of %lld lines is higher than an image can be.", (long long)height);
    return FG_ERR_GRAB;
  }
  // Before the frame-done thread has seen its first event, the frame is
  // stamped with the time it is assembled rather than with 1970.
  const int64_t stamp = inst.events.last_frame_time_ms.load();
  const os::LocalTime time = os::LocalTimeAt(stamp != 0 ? stamp : os::NowMs());

  if (volatile_on) {
    // The image is the buffer itself and must not reach past it.
    const auto image_height = static_cast<int32_t>(std::min(height, buffer_lines));
    void *const buffer = inst.ring.frame_buffer[readBuffer];
    Terr made = FG_OK;
    switch (layout.kind) {
      case UINT2_IMAGE:
        made = HOST_CALL(
            "TNewImagePtr(proc_id, &image[0], (INT)(1<<10), fginst->image_width, image_height, "
            "(void*)(currInst->InstFrameBuffer[readBuffer]), 0)",
            TNewImagePtr(proc_id, &image[0], UINT2_IMAGE, fginst->image_width, image_height, buffer,
                         0));
        break;
      case INT4_IMAGE:
        made = HOST_CALL(
            "TNewImagePtr(proc_id, &image[0], (INT)(1<<1), fginst->image_width, image_height, "
            "(void*)(currInst->InstFrameBuffer[readBuffer]), 0)",
            TNewImagePtr(proc_id, &image[0], INT4_IMAGE, fginst->image_width, image_height, buffer,
                         0));
        break;
      default:
        made = HOST_CALL(
            "TNewImagePtr(proc_id, &image[0], (INT)(1<<0), fginst->image_width, image_height, "
            "(void*)(currInst->InstFrameBuffer[readBuffer]), 0)",
            TNewImagePtr(proc_id, &image[0], BYTE_IMAGE, fginst->image_width, image_height, buffer,
                         0));
        break;
    }
    if (made != FG_OK) return made;
    if (layout.kind == UINT2_IMAGE) image[0].pixel.u.num_bits = static_cast<int8_t>(layout.bits);
    SetImageTime(image[0], time);
    *num_image = 1;
  } else {
    // The host's variable 64 is held at 0 while the images are created.
    int64_t save = 0;
    Terr result = FG_OK;
    result = HOST_CALL(
        "TAccessGlVar(proc_id,64,1,&save,0,(char *)((void *)0),(Tkey)((void *)0),0)",
        TAccessGlVar(proc_id, kImageCreationVar, kGlVarRead, &save, 0, nullptr, nullptr, 0));
    if (result != FG_OK) return result;
    result = HOST_CALL(
        "TAccessGlVar(proc_id,64,0,((void *)0),(double)0,(char *)((void *)0),(Tkey)((void *)0),0)",
        TAccessGlVar(proc_id, kImageCreationVar, kGlVarWrite, nullptr, 0, nullptr, nullptr, 0));
    if (result != FG_OK) return result;
    const auto image_height = static_cast<int32_t>(height);
    Terr made = FG_OK;
    for (int32_t k = 0; k < layout.images && made == FG_OK; ++k) {
      made =
          HOST_CALL("TNewImage(proc_id, &image[k], layout.kind, fginst->image_width, image_height)",
                    TNewImage(proc_id, &image[k], layout.kind, fginst->image_width, image_height));
      if (made == FG_OK) SetImageTime(image[k], time);
    }
    const Terr restored = HOST_CALL(
        "TAccessGlVar(proc_id,64,0,((void *)0),(double)save,(char *)((void *)0),(Tkey)((void *)0),"
        "0)",
        TAccessGlVar(proc_id, kImageCreationVar, kGlVarWrite, nullptr, static_cast<double>(save),
                     nullptr, nullptr, 0));
    if (made != FG_OK) return made;
    if (restored != FG_OK) return restored;
    *num_image = layout.images;

    const uint64_t image_pixels = uint64_t(width) * uint64_t(height);
    if (frames == 1) {
      const uint64_t pixels = uint64_t(width) * uint64_t(std::min(height, buffer_lines));
      if ((result = FillFrame(inst, image, layout, readBuffer, 0, pixels, false)) != FG_OK) {
        return result;
      }
      ZeroTail(image, layout, pixels, image_pixels);
    } else {
      // Frame j comes from the j-th of the `frames` buffers that precede the
      // fill position by the offset, counted round the ring.
      const int64_t n = inst.ring.count;
      const int64_t first =
          int64_t(inst.position.fill_index.load()) - inst.print_grab_offset - frames;
      const uint64_t frame_pixels = uint64_t(width) * uint64_t(frame_height);
      const uint64_t pixels = uint64_t(width) * uint64_t(std::min(frame_height, buffer_lines));
      for (int64_t j = 0; j < frames; ++j) {
        const auto buffer_number = static_cast<uint32_t>(((first + j) % n + n) % n);
        const uint64_t pixel_offset = uint64_t(j) * frame_pixels;
        result = FillFrame(inst, image, layout, buffer_number, pixel_offset, pixels, true);
        if (result != FG_OK) return result;
        ZeroTail(image, layout, pixel_offset + pixels, pixel_offset + frame_pixels);
      }
    }
    // Every 16-bit image carries the depth of its pixels, stacked or not.
    if (layout.kind == UINT2_IMAGE) {
      for (int32_t k = 0; k < layout.images; ++k) {
        image[k].pixel.u.num_bits = static_cast<int8_t>(layout.bits);
      }
    }
  }

  if (inst.cg.enabled != 0) HandBack(inst);
  fginst->async_grab = 0;
  return FG_OK;
}

}  // namespace grabline
