// FGOpen: from a bound private record to an open instance on a board.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "acq/event_threads.hpp"
#include "acq/ring_build.hpp"
#include "board/family.hpp"
#include "board/process_objects.hpp"
#include "board/ring_memory.hpp"
#include "board/trigger_modes.hpp"
#include "instance/open_release.hpp"
#include "instance/open_request.hpp"
#include "plugin/error_report.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"
#include "plugin/operations.hpp"

namespace grabline {
namespace {

struct FamilyName {
  const char *prefix;  // device-name prefix
  const char *name;    // name kept in the private record
  uint32_t code;
};

constexpr FamilyName kFamilies[] = {
    {"RoadRunner:", "RoadRunner", CISYS_TYPE_RR},
    {"Raven:", "Raven", CISYS_TYPE_RV},
    {"R64:", "R64", CISYS_TYPE_R64},
    {"GN2:", "Gn2", CISYS_TYPE_GN2},
};

// Copies a text that is known to fit (checked at the start of the open).
void CopyTo(char *field, size_t size, const char *text) {
  const size_t length = strnlen(text, size - 1);
  std::memcpy(field, text, length);
  field[length] = '\0';
}

// The record of a board another open instance drives, if the SDK's entry
// names the same board.
BoardInfo *OpenBoardWithEntry(const InstanceRecord &inst, const CiENTRY &entry) {
  for (uint32_t i = 0; i < kProfile.max_instances; ++i) {
    const InstanceRecord &other = g_instances[i];
    if (other.instance_index != inst.instance_index && other.board != nullptr &&
        other.board->users > 0 && std::memcmp(&other.board->entry, &entry, sizeof entry) == 0) {
      return other.board;
    }
  }
  return nullptr;
}

// Finds the board the device name asks for. Returns FG_OK with the entry, or
// the open's error code.
Terr FindBoard(InstanceRecord &inst, std::string_view device, const uint32_t (&counts)[4],
               CiENTRY *entry) {
  for (size_t f = 0; f < std::size(kFamilies); ++f) {
    const FamilyName &family = kFamilies[f];
    if ((kProfile.families & family.code) == 0) continue;
    const std::string_view prefix = family.prefix;
    if (device.substr(0, prefix.size()) != prefix) continue;
    int32_t n = 0;
    if (!ParseNumber(device.substr(prefix.size()), &n) || counts[f] == 0) break;
    inst.family_code = family.code;
    if (n < 0 ||
        SdkCheck(nullptr, &inst, CiSysBrdFind(family.code, static_cast<uint32_t>(n), entry)) != 0) {
      return FG_ERR_BOARD_OPEN;
    }
    return FG_OK;
  }

  constexpr std::string_view kSwitch = "Switch:";
  constexpr std::string_view kConnector = ",Connector:";
  if (device.substr(0, kSwitch.size()) == kSwitch) {
    const size_t comma = device.find(kConnector);
    uint32_t switch_number = 0, connector = 0;
    if (comma != std::string_view::npos &&
        ParseNumber(device.substr(kSwitch.size(), comma - kSwitch.size()), &switch_number) &&
        ParseNumber(device.substr(comma + kConnector.size()), &connector)) {
      if (SdkCheck(nullptr, &inst,
                   CiSysBoardFindSWConnector(kProfile.switch_families, switch_number, connector,
                                             entry)) != 0) {
        return FG_ERR_BOARD_OPEN;
      }
      return FG_OK;
    }
  }

  if (device == "default") {
    for (size_t f = 0; f < std::size(kFamilies); ++f) {
      if ((kProfile.families & kFamilies[f].code) == 0 || counts[f] == 0) continue;
      inst.family_code = kFamilies[f].code;
      if (SdkCheck(nullptr, &inst, CiSysBrdFind(kFamilies[f].code, 0, entry)) != 0) {
        return FG_ERR_BOARD_OPEN;
      }
      return FG_OK;
    }
    return FG_ERR_BOARD_OPEN;
  }
  // A family name with a board number whose family has no boards (or is not
  // searched by this build) ends here as well; "R64:x" is no name at all.
  for (const FamilyName &family : kFamilies) {
    const std::string_view prefix = family.prefix;
    int32_t n = 0;
    if (device.substr(0, prefix.size()) == prefix &&
        ParseNumber(device.substr(prefix.size()), &n)) {
      return FG_ERR_BOARD_OPEN;
    }
  }
  return FG_ERR_UNSUPPORTED;
}

// The open values of every field the instance's features own.
void SetOpenValues(InstanceRecord &inst) {
  const uint32_t index = inst.instance_index;
  BoardInfo *board = inst.board;
  const TpMutex leftover = inst.cancel_mutex;  // a destroy the host refused at the last close
  std::destroy_at(&inst);
  std::construct_at(&inst);
  inst.instance_index = index;
  inst.board = board;
  inst.cancel_mutex = leftover;
}

// Bits per channel and channel count the colour space and camera depth give.
Terr ResolveDepth(TFgInstance *fginst, uint32_t depth) {
  int32_t bits =
      fginst->bits_per_channel == -1 ? static_cast<int32_t>(depth) : fginst->bits_per_channel;
  int32_t channels = 1;
  bool rgb = std::strcmp(fginst->color_space, "rgb") == 0;
  if (!rgb) {
    switch (bits) {
      case 24:
        bits = 8, channels = 3, rgb = true;
        break;
      case 32:
        bits = 8, channels = 4, rgb = true;
        break;
      case 30:
        bits = 10, channels = 3, rgb = true;
        break;
      case 36:
        bits = 12, channels = 3, rgb = true;
        break;
      default:
        break;
    }
  } else {
    switch (bits) {
      case 8:
        channels = depth == 24 ? 3 : 4;
        break;
      case 10:
      case 12:
        channels = 3;
        break;
      case 24:
        bits = 8, channels = 3;
        break;
      case 32:
        bits = 8, channels = 4;
        break;
      case 30:
        bits = 10, channels = 3;
        break;
      case 36:
        bits = 12, channels = 3;
        break;
      default:
        PrintError("Color space 'rgb' only possible with 8, 10 or 12 bits per channel!");
        return FG_ERR_COLOR_SPACE;
    }
  }
  if (rgb) CopyTo(fginst->color_space, sizeof fginst->color_space, "rgb");
  fginst->num_channels = channels;
  fginst->bits_per_channel = bits;
  return FG_OK;
}

int32_t ResolutionFactor(int32_t asked, int32_t size) {
  if (asked == size) return 1;
  if (asked == size / 2) return 2;
  if (asked == size / 4) return 4;
  return asked;
}

Terr OpenInstance(Tproc_handle proc_id, TFgInstance *fginst);

}  // namespace

Terr FGOpen(Tproc_handle proc_id, TFgInstance *fginst) {
  const Terr result = OpenInstance(proc_id, fginst);
  // A refused first open leaves no process-wide objects behind.
  if (result != FG_OK && g_open_instances == 0) DestroyProcessObjects();
  return result;
}

namespace {

// A device is open in at most one instance.
Terr CheckDeviceFree(const InstanceRecord &inst, const TFgInstance &fginst) {
  for (uint32_t i = 0; i < kProfile.max_instances; ++i) {
    const InstanceRecord &other = g_instances[i];
    if (other.instance_index != inst.instance_index && other.board != nullptr &&
        std::strncmp(other.board->device, fginst.device, sizeof other.board->device) == 0) {
      return FG_ERR_DEVICE_BUSY;
    }
  }
  return FG_OK;
}

// The board record: the one another instance already drives, or a new one
// with the board opened on the camera file. Nothing to release on failure.
Terr AcquireBoard(Tproc_handle proc_id, TFgInstance *fginst, InstanceRecord &inst,
                  CiENTRY &entry, OpenRelease &release) {
  // The same board found under another name (a family name and a switch
  // connector, say) is the board another instance already drives: share its
  // record, so the shared-board rules apply instead of two records fighting
  // over one DMA engine.
  if (inst.board == nullptr) inst.board = OpenBoardWithEntry(inst, entry);
  if (inst.board == nullptr) {
    BoardInfo *board = nullptr;
    const Terr result =
        HOST_ALLOC(proc_id, sizeof(BoardInfo), &board, "sizeof(BoardInfo)", "&board");
    if (result != FG_OK) return result;
    std::memset(board, 0, sizeof *board);
    CopyTo(board->device, sizeof board->device, fginst->device);
    const uint32_t mode = inst.show_error_dlg != 0 ? 257 : 321;
    uint32_t opened = 0;
    if (std::strcmp(fginst->camera_type, "default") == 0) {
      opened = CiBrdOpen(&entry, &board->handle, mode, fginst->camera_type);
    } else {
      for (char *c = fginst->camera_type; *c != '\0'; ++c) {
        if (*c == '/') *c = '\\';
      }
      opened = CiBrdOpenCam(&entry, &board->handle, mode, fginst->camera_type);
    }
    if (SdkCheck(nullptr, &inst, opened) != 0) {
      HOST_FREE(proc_id, board, "board");
      inst.board = nullptr;
      inst.acquisition_pending = 0;
      return FG_ERR_BOARD;
    }
    board->entry = entry;
    inst.board = board;
    release.opened_here = true;
  }
  return FG_OK;
}

// The camera port and the camera file the instance acquires from.
Terr SelectCamera(const TFgInstance &fginst, InstanceRecord &inst, bool opened_here) {
  Bd handle = inst.board->handle;
  if (fginst.port != 0) {
    uint32_t cameras = 0;
    if (SdkCheck(handle, &inst, CiBrdInquire(handle, BF_INQ_NUM_CAMERAS, &cameras)) != 0 ||
        static_cast<uint32_t>(fginst.port) > cameras ||
        SdkCheck(handle, &inst, CiBrdCamSel(handle, static_cast<uint32_t>(fginst.port), 1)) != 0) {
      return FG_ERR_CAMERA_SELECT;
    }
  }
  if (SdkCheck(handle, &inst, CiBrdCamGetCur(handle, &inst.camera)) != 0) {
    return fginst.port != 0 ? FG_ERR_CAMERA_SELECT : FG_ERR_BOARD;
  }
  CopyTo(inst.camera_file, sizeof inst.camera_file, fginst.camera_type);
  if (!opened_here && SdkCheck(handle, &inst, CiBrdCamSetCur(handle, inst.camera, 1)) != 0) {
    return FG_ERR_BOARD;
  }
  CopyTo(inst.board->camera_file, sizeof inst.board->camera_file, fginst.camera_type);
  return FG_OK;
}

// What the camera file delivers, and the image the open asked for: only the
// full image at full resolution is accepted.
Terr ReadCameraFormat(TFgInstance &fginst, InstanceRecord &inst) {
  Bd handle = inst.board->handle;
  uint32_t timeout = 0, width = 0, height = 0, depth = 0, depth2 = 0;
  if (SdkCheck(handle, &inst, CiBrdInquire(handle, BF_INQ_TIMEOUT, &timeout)) != 0 ||
      SdkCheck(handle, &inst, CiBrdInquire(handle, BF_INQ_XSIZE, &width)) != 0 ||
      SdkCheck(handle, &inst, CiBrdInquire(handle, BF_INQ_YSIZE, &height)) != 0 ||
      SdkCheck(handle, &inst, CiBrdInquire(handle, BF_INQ_BITDEPTH, &depth)) != 0 ||
      SdkCheck(handle, &inst, CiBrdInquire(handle, BF_INQ_BITDEPTH2, &depth2)) != 0) {
    return FG_ERR_BOARD;
  }
  inst.grab_timeout = timeout;
  fginst.board_width = static_cast<int32_t>(width);
  fginst.board_height = static_cast<int32_t>(height);
  inst.frame_height = height;

  const Terr resolved = ResolveDepth(&fginst, depth);
  if (resolved != FG_OK) return resolved;
  const int64_t delivered = int64_t{fginst.num_channels} * fginst.bits_per_channel;
  if (delivered != depth) {
    if (delivered != depth2) return FG_ERR_BITS_PER_CHANNEL;
    inst.alternate_depth = 1;
  }

  const int32_t w = fginst.board_width, h = fginst.board_height;
  const int32_t fx = ResolutionFactor(fginst.horizontal_resolution, w);
  const int32_t fy = ResolutionFactor(fginst.vertical_resolution, h);
  auto valid_factor = [](int32_t f) { return f == 1 || f == 2 || f == 4; };
  if (!valid_factor(fx) || !valid_factor(fy)) return FG_ERR_RESOLUTION;
  fginst.horizontal_resolution = w / fx;
  fginst.vertical_resolution = h / fy;
  fginst.resolution_mode = fx == 1 && fy == 1   ? 0
                           : fx == 2 && fy == 2 ? 1
                           : fx == 4 && fy == 4 ? 2
                                                : 3;
  if (fginst.image_width == 0) {
    fginst.image_width = fginst.horizontal_resolution - 2 * fginst.start_column;
  }
  if (fginst.image_height == 0) {
    fginst.image_height = fginst.vertical_resolution - 2 * fginst.start_row;
  }
  if (fginst.start_row != 0 || fginst.start_column != 0 ||
      fginst.image_width != fginst.horizontal_resolution ||
      fginst.image_height != fginst.vertical_resolution) {
    return FG_ERR_IMAGE_PART;
  }
  if (fginst.resolution_mode != 0) return FG_ERR_RESOLUTION;
  return FG_OK;
}

// The trigger input and, for external triggering, the triggered mode.
Terr ConfigureTrigger(const TFgInstance &fginst, InstanceRecord &inst) {
  Bd handle = inst.board->handle;
  uint32_t trig_mode = 0, trig_a = 0, trig_b = 0, trig_c = 0;
  if (SdkCheck(handle, &inst, CiConVTrigModeGet(handle, &trig_mode, &trig_a, &trig_b, &trig_c)) !=
      0) {
    return FG_ERR_BOARD;
  }
  if (fginst.external_trigger != 0) {
    if (SdkCheck(handle, &inst, CiConExTrigConnect(handle, BF_TRIG_INPUT, BF_TRIG_CONNECT)) != 0) {
      return FG_ERR_BOARD;
    }
    const bool any_camera = !IsGn2(inst) && (BFRegPeek(handle, kProfile.reg.trig_capability) &
                                             bfsdk::kTrigAnyCameraBit) != 0;
    const bool triggered_file = TriggeredFile(trig_mode);
    if (!triggered_file && !any_camera) {
      if (IsR64(inst)) {
        PrintError(
            "Board error: The board only supports external triggering with external trigger "
            "camera files such as one-shot.\n");
        return FG_ERR_BOARD;
      }
      if (SdkCheck(handle, &inst, SetTriggeredMode(handle)) != 0) {
        return FG_ERR_BOARD;
      }
    }
  } else if (SdkCheck(handle, &inst,
                      CiConExTrigConnect(handle, BF_TRIG_INPUT, BF_TRIG_DISCONNECT)) != 0) {
    return FG_ERR_BOARD;
  }
  if (trig_mode == BF_TRIGMODE_ONE_SHOT) inst.oneshot_mode = 1;
  if (StartStopFile(trig_mode) && IsRaven(inst)) {
    PrintError("Board error: The board doesn't support start/stop triggering.\n");
    return FG_ERR_BOARD;
  }
  return FG_OK;
}

// Buffer sizes (in 64 bits: a large frame must not wrap), the LUT, and the
// first ring of two buffers.
Terr BuildFirstRing(Tproc_handle proc_id, TFgInstance *fginst, InstanceRecord &inst) {
  Bd handle = inst.board->handle;
  uint32_t bytes_per_pixel = 0;
  if (SdkCheck(handle, &inst,
               CiBrdInquire(
                   handle, inst.alternate_depth != 0 ? BF_INQ_BYTES_PER_PIX2 : BF_INQ_BYTES_PER_PIX,
                   &bytes_per_pixel)) != 0) {
    return FG_ERR_BOARD;
  }
  inst.bytes_per_pixel = bytes_per_pixel;
  SizeRing(
      inst, *fginst,
      uint64_t(uint32_t(fginst->image_width)) * bytes_per_pixel * uint32_t(fginst->image_height));

  const int64_t delivered = int64_t{fginst->num_channels} * fginst->bits_per_channel;
  if (SdkCheck(handle, &inst,
               CiLutSetMask(handle, static_cast<uint32_t>(delivered), &inst.lut_type)) != 0) {
    return FG_ERR_BOARD;
  }

  inst.ring.own = 0;
  inst.ring.count = 0;
  const Terr built = ChangeNumBuffers(proc_id, fginst, 2, 0);
  if (built != FG_OK) return built;
  if (inst.ring.own == 0) JoinBoardRing(inst);
  RewindRing(inst.position);
  return FG_OK;
}

Terr OpenInstance(Tproc_handle proc_id, TFgInstance *fginst) {
  InstanceRecord *inst_ptr = CurrInst(fginst);
  if (inst_ptr == nullptr) return FG_ERR_BOARD_OPEN;
  InstanceRecord &inst = *inst_ptr;

  if (!CreateProcessObjects()) return FG_ERR_BOARD;
  fginst->async_grab = 0;
  SetOpenValues(inst);

  if (BFDrvReady(60) != 0) return FG_ERR_DRIVER_NOT_READY;
  uint32_t counts[4] = {};
  for (size_t f = 0; f < std::size(kFamilies); ++f) {
    if ((kProfile.families & kFamilies[f].code) != 0) CiSysBrdEnum(kFamilies[f].code, &counts[f]);
  }
  const OpenRequest request =
      ParseOpenRequest(*fginst, {sizeof(BoardInfo::device), sizeof inst.camera_file});
  if (request.names != FG_OK) return request.names;
  CiENTRY entry{};
  Terr result = FindBoard(inst, fginst->device, counts, &entry);
  if (result != FG_OK) return result;
  inst.traits = &TraitsOf(inst.family_code);
  if (request.settings != FG_OK) return request.settings;
  if (request.show_error_dlg >= 0) inst.show_error_dlg = request.show_error_dlg != 0;
  if ((result = CheckDeviceFree(inst, *fginst)) != FG_OK) return result;

  OpenRelease release{proc_id, fginst};
  if ((result = AcquireBoard(proc_id, fginst, inst, entry, release)) != FG_OK) return result;
  if ((result = SelectCamera(*fginst, inst, release.opened_here)) != FG_OK ||
      (result = ReadCameraFormat(*fginst, inst)) != FG_OK ||
      (result = ConfigureTrigger(*fginst, inst)) != FG_OK ||
      (result = BuildFirstRing(proc_id, fginst, inst)) != FG_OK) {
    return release(result);
  }
  Bd handle = inst.board->handle;

  // Output levels.
  uint32_t outputs = 0;
  CiRegGPOutGet(handle, &outputs);
  inst.gp_out_state = outputs & ((1u << OutputLines(inst, handle)) - 1);

  // The instance mutex; the instance now counts as open. A mutex whose
  // destroy the host refused at the last close is tried once more, then let go
  // either way: forgetting it unasked would leak it at every such close.
  if (inst.cancel_mutex != nullptr) {
    HOST_CALL("TpThreadMutexDestroy(&inst.cancel_mutex)", TpThreadMutexDestroy(&inst.cancel_mutex));
    inst.cancel_mutex = nullptr;
  }
  result =
      HOST_CALL("TpThreadMutexInit(&inst.cancel_mutex)", TpThreadMutexInit(&inst.cancel_mutex));
  if (result != FG_OK) return release(result);
  ++g_open_instances;
  ++inst.board->users;
  release.counted = true;

  // Signals and event threads.
  result = StartEventThreads(fginst);
  if (result != FG_OK) return release(result);
  return FG_OK;
}

}  // namespace
}  // namespace grabline
