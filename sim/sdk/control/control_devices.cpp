// The control API of the board's devices: LUT, control table, lines, timing
// generator and CoaXPress camera registers.
#include "bfsim_control.hpp"
#include "model/lines.hpp"
#include "model/registers.hpp"
#include "model/system.hpp"

namespace bfsim {
namespace {

// Runs f(Board&) for board `n`, or returns `none` when there is no such board.
template <typename R, typename F>
R OnBoard(uint32_t n, R none, F &&f) {
  return model::System::Get().WithBoards([&](std::vector<model::Board> &boards) -> R {
    return n < boards.size() ? f(boards[n]) : none;
  });
}

}  // namespace

std::vector<uint16_t> LutBank(uint32_t n, uint32_t bank) {
  return OnBoard(n, std::vector<uint16_t>{},
                 [&](model::Board &b) { return b.devices.lut.Bank(bank); });
}

std::vector<uint16_t> ControlTable(uint32_t n) {
  return OnBoard(n, std::vector<uint16_t>{},
                 [](model::Board &b) { return b.devices.ctab.Entries(); });
}

std::optional<LinesDesc> Lines(uint32_t n) {
  return OnBoard(n, std::optional<LinesDesc>{}, [](model::Board &b) {
    const bfsdk::RegisterIds &ids = bfsdk::RegistersOf(Version());
    LinesDesc d;
    d.gpout = b.devices.gpout;
    d.outputs = model::OutputLevels(b);
    d.inputs = b.input_lines;
    for (size_t k = 0; k < std::size(d.cc); ++k) d.cc[k] = model::ReadRegister(b, ids.cc[k]);
    return std::optional<LinesDesc>(d);
  });
}

void SetInputLines(uint32_t n, uint32_t levels) {
  OnBoard(n, 0, [&](model::Board &b) {
    b.input_lines = levels;
    model::SyncLineRegisters(b);
    return 0;
  });
}

std::optional<TimingDesc> TimingGenerator(uint32_t n) {
  return OnBoard(n, std::optional<TimingDesc>{}, [](model::Board &b) -> std::optional<TimingDesc> {
    if (!b.config.timing_generator) return std::nullopt;
    const model::TimingSettings &t = b.devices.timing;
    return TimingDesc{t.exposure, t.period, t.trig_mode, t.assert_high, t.output};
  });
}

std::optional<uint32_t> CxpRegister(uint32_t n, uint32_t address) {
  return OnBoard(n, std::optional<uint32_t>{},
                 [&](model::Board &b) { return b.cxp.Read(address); });
}

bool SetCxpRegister(uint32_t n, uint32_t address, uint32_t value) {
  return OnBoard(n, false, [&](model::Board &b) { return b.cxp.Write(address, value, true); });
}

}  // namespace bfsim
