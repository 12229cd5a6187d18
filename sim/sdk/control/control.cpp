// The control API: the model and the call gate as tests and tools see them.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/programmed.hpp"
#include "bfsim_control.hpp"
#include "model/firmware.hpp"
#include "model/logs.hpp"
#include "model/registers.hpp"
#include "model/serial_ports.hpp"
#include "model/system.hpp"
#include "model/versions.hpp"

namespace bfsim {
namespace {

model::System &Sys() { return model::System::Get(); }

uint32_t ModelOf(model::LutSupport lut) {
  const bfsdk::BoardModels &models = bfsdk::ModelsOf(Version());
  return lut == model::LutSupport::kNone   ? models.no_lut
         : lut == model::LutSupport::kNo14 ? models.no_lut_14
                                           : models.with_lut;
}

}  // namespace

void Reset() {
  model::ReadDebugSwitch();
  Sys().Reset();
  model::SerialPorts::Get().Refresh();
  api::ClearCallCounts();
  api::ClearInjectedFaults();
  api::SetRecording(false);
  api::RestartLog();
  api::ClearRecordNames();
  api::ClearProgrammed();
  model::ClearModelLogs();
  model::BuildTarget() = 0;
  model::SetSdkNumbers(model::DefaultSdkNumbers());
}

std::string LoadSystem(std::string_view text) {
  std::string error = Sys().LoadText(text);
  model::SerialPorts::Get().Refresh();
  return error;
}

std::string SystemError() { return Sys().LoadError(); }

std::vector<BoardDesc> Boards() {
  return Sys().WithBoards([](std::vector<model::Board> &boards) {
    std::vector<BoardDesc> out;
    for (const model::Board &b : boards) {
      const model::BoardConfig &c = b.config;
      out.push_back(BoardDesc{c.family,
                              b.index,
                              c.model,
                              c.model_code,
                              c.camera_link,
                              c.karbon,
                              c.neon,
                              c.neon_switchable,
                              c.alta,
                              c.cxp,
                              c.ports,
                              c.switch_number,
                              c.connector,
                              c.camera,
                              b.open_count > 0,
                              b.held_elsewhere,
                              c.trigger_any_camera,
                              c.link_full_speed,
                              c.host_qtabs,
                              c.gpout,
                              c.vfg,
                              b.camera_connected,
                              ModelOf(c.lut),
                              c.timing_generator});
    }
    return out;
  });
}

void SetDriverReady(bool ready) { Sys().SetDriverReady(ready); }

void SetBuildTarget(uint32_t target) { model::BuildTarget() = target; }

void SetHeldElsewhere(uint32_t n, bool held) {
  Sys().WithBoards([&](std::vector<model::Board> &boards) {
    if (n < boards.size()) boards[n].held_elsewhere = held;
  });
}

uint32_t PeekRegister(uint32_t n, uint32_t id) {
  return Sys().WithBoards([&](std::vector<model::Board> &boards) -> uint32_t {
    return n < boards.size() ? model::ReadRegister(boards[n], id) : 0;
  });
}

// Writes like the board itself would: capability bits included.
void PokeRegister(uint32_t n, uint32_t id, uint32_t value) {
  Sys().WithBoards([&](std::vector<model::Board> &boards) {
    if (n < boards.size()) model::WriteRegister(boards[n], id, value, 0xFFFFFFFFu, true);
  });
}

std::optional<uint32_t> RegisterByName(std::string_view name) {
  return model::Registers().Find(name);
}

std::vector<std::string> RegisterNames() {
  const model::RegisterTable &table = model::Registers();
  std::vector<std::string> names;
  names.reserve(table.defs.size());
  for (const model::RegisterDef &def : table.defs) names.push_back(def.name);
  return names;
}

uint32_t RaiseSignal(uint32_t n, uint32_t type) {
  return Sys().RaiseSignals(n, type, model::Signal::Info{0, model::FineTick()});
}

uint32_t RaiseSignal(uint32_t n, uint32_t type, uint32_t line_count, uint64_t time_stamp) {
  return Sys().RaiseSignals(n, type, model::Signal::Info{line_count, time_stamp});
}

uint32_t LiveSignals(uint32_t n) { return Sys().LiveSignals(n); }

uint32_t BlockedWaiters(uint32_t n) { return Sys().BlockedWaiters(n); }

std::optional<TriggerDesc> Trigger(uint32_t n) {
  return Sys().WithBoards([&](std::vector<model::Board> &boards) -> std::optional<TriggerDesc> {
    if (n >= boards.size()) return std::nullopt;
    const model::Board &b = boards[n];
    return TriggerDesc{
        b.trigger.mode, b.trigger.a, b.trigger.b, b.trigger.c, b.trigger.external_connected,
        b.current_port};
  });
}

void FailCall(std::string_view function, uint32_t nth, uint32_t code) {
  api::InjectFault(function, nth, code);
}

void FailAnyCall(uint32_t nth, uint32_t code) { api::InjectAnyFault(nth, code); }

void ClearFaults() { api::ClearInjectedFaults(); }

uint64_t TotalCallCount() { return api::TotalCount(); }

uint64_t CallCount(std::string_view function) { return api::CountOf(function); }

std::vector<std::string> DebugOutput() { return model::DebugOutputLog(); }

std::vector<uint32_t> ErrorShows() { return model::ErrorShowLog(); }

void ClearLogs() {
  model::ClearModelLogs();
  api::TakeRecordedCalls();
}

}  // namespace bfsim
