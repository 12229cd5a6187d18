// The control API of cameras, frames and acquisition.
#include "bfsim_control.hpp"
#include "model/pattern.hpp"
#include "model/system.hpp"

namespace bfsim {
namespace {

model::System &Sys() { return model::System::Get(); }

CameraDesc ToDesc(const model::Camera &c) {
  CameraDesc d;
  d.file = c.file;
  d.width = c.width;
  d.height = c.height;
  d.depth = c.depth;
  d.bytes_per_pixel = c.bytes_per_pixel;
  d.depth2 = c.depth2;
  d.bytes_per_pixel2 = c.bytes_per_pixel2;
  d.color = c.color;
  d.trigger_mode = c.trigger_mode;
  d.trigger_a = c.trig_a;
  d.trigger_b = c.trig_b;
  d.trigger_c = c.trig_c;
  d.frame_rate = c.frame_rate;
  d.timeout_ms = c.timeout_ms;
  d.interlace = c.interlace;
  d.start_stop_lines = c.start_stop_lines;
  return d;
}

// Runs f(Board&) for board `n`, or returns `none` when there is no such board.
template <typename R, typename F>
R OnBoard(uint32_t n, R none, F &&f) {
  return Sys().WithBoards([&](std::vector<model::Board> &boards) -> R {
    return n < boards.size() ? f(boards[n]) : none;
  });
}

}  // namespace

std::string ParseCamera(std::string_view text, CameraDesc *camera) {
  model::CameraText parsed = model::ParseCameraText(text);
  if (parsed.error.empty() && camera != nullptr) *camera = ToDesc(parsed.camera);
  return parsed.error;
}

std::string LastCameraError() { return Sys().CameraError(); }

std::optional<CameraDesc> CurrentCamera(uint32_t n) {
  return OnBoard(n, std::optional<CameraDesc>{}, [](model::Board &b) -> std::optional<CameraDesc> {
    return ToDesc(b.CurrentCamera());
  });
}

uint64_t PatternValue(uint64_t frame, uint32_t x, uint32_t y, uint32_t component, uint32_t bits) {
  return model::PatternValue(frame, x, y, component, bits);
}

std::vector<uint8_t> ExpectedFrame(const CameraDesc &camera, uint64_t frame,
                                   const FrameWindow &window) {
  const uint32_t depth = window.second_depth ? camera.depth2 : camera.depth;
  const model::PixelFormat format{
      depth, window.second_depth ? camera.bytes_per_pixel2 : camera.bytes_per_pixel,
      model::IsColorDepth(depth, camera.color)};
  if (format.bytes_per_pixel == 0 || format.bytes_per_pixel > model::kMaxBytesPerPixel) return {};
  const uint32_t width = window.width != 0
                             ? window.width
                             : (camera.width > window.column ? camera.width - window.column : 0);
  const uint32_t lines = window.lines != 0
                             ? window.lines
                             : (camera.height > window.row ? camera.height - window.row : 0);
  const uint64_t line_bytes = uint64_t{width} * format.bytes_per_pixel;
  std::vector<uint8_t> out(line_bytes * lines);
  for (uint32_t k = 0; k < lines; ++k) {
    model::RenderLine(format, frame, window.column, window.row + k, width,
                      out.data() + k * line_bytes);
  }
  return out;
}

std::optional<AcquisitionDesc> AcquisitionState(uint32_t n) {
  const uint32_t chain_length = Sys().EngagedLength(n);
  return OnBoard(n, std::optional<AcquisitionDesc>{}, [&](model::Board &b) {
    const model::Acquisition &a = b.acq;
    const model::Region window = model::WindowOf(b);
    AcquisitionDesc d;
    d.armed = a.armed != model::Armed::kIdle;
    d.snap = a.armed == model::Armed::kSnap;
    d.dma_running = a.dma_running;
    d.chain_length = chain_length;
    d.chain_position = a.position;
    d.frames = a.frames;
    d.last_lines = a.last_lines;
    d.column = window.column;
    d.row = window.row;
    d.width = window.width;
    d.height = window.height;
    d.format = a.format;
    d.lut_bits = b.devices.lut_bits;
    d.lut_type = b.devices.lut_type;
    d.gpout = b.devices.gpout;
    d.interrupts = b.devices.interrupts;
    d.int_mode = b.devices.int_mode;
    d.ctab_resets = b.devices.ctab_resets;
    d.start_stop_interrupt = b.devices.sip_enabled;
    return std::optional<AcquisitionDesc>(d);
  });
}

std::optional<QuickSwitchDesc> QuickSwitch(uint32_t n) {
  return OnBoard(n, std::optional<QuickSwitchDesc>{}, [](model::Board &b) {
    const model::QuickSwitchState &qs = b.acq.qs;
    return std::optional<QuickSwitchDesc>(QuickSwitchDesc{qs.on, qs.next_set, qs.frames});
  });
}

uint32_t LiveQTabs(uint32_t n) { return Sys().LiveQTabs(n); }

void SetManualClock(uint32_t n, bool manual) { Sys().SetManualClock(n, manual); }

uint32_t DeliverFrames(uint32_t n, uint32_t count) { return Sys().DeliverFrames(n, count); }

bool WaitArmed(uint32_t n, uint32_t timeout_ms) { return Sys().WaitArmed(n, timeout_ms); }

uint64_t FramesProduced(uint32_t n) {
  return OnBoard(n, uint64_t{0}, [](model::Board &b) { return b.acq.frames; });
}

uint32_t PulseExternalTrigger(uint32_t n) { return Sys().PulseExternalTrigger(n); }

void SetTriggerInput(uint32_t n, bool asserted) {
  OnBoard(n, 0, [&](model::Board &b) {
    b.trigger_input = asserted;
    return 0;
  });
}

void SetCameraConnected(uint32_t n, bool connected) { Sys().SetCameraConnected(n, connected); }

uint32_t InjectOverflow(uint32_t n) { return Sys().InjectEvent(n, model::kSignalOverflow); }

uint32_t InjectHardwareException(uint32_t n) {
  return Sys().InjectEvent(n, model::kSignalHardwareException);
}

}  // namespace bfsim
