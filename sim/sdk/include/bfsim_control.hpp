// bfsim_control.hpp — the control API of the simulated board SDK.
//
// Tests and tools use it to set up the simulated system, to look inside the
// boards (registers, signals, calls made), and to inject faults. The plug-in
// never includes it: it only sees bfsdk.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bfsdk.h"
#include "bfsdk_regs.hpp"

// The library is built with hidden visibility; this API is its public face.
#pragma GCC visibility push(default)

namespace bfsim {

// The SDK version this library was built as.
bfsdk::SdkVersion Version();

// ---- system ------------------------------------------------------------------
// Reloads the system: from the file named by GRABLINE_SIM_SYSTEM if that is
// set, else the built-in default (one R64 Camera Link board with two ports and
// a free-running 8-bit camera). Closes every open board, frees every signal,
// clears faults and logs.
void Reset();
// Replaces the system with the one described by `text` (system file format,
// see cameras/README.md). Returns an error text, empty on success.
std::string LoadSystem(std::string_view text);
// Why the file named by GRABLINE_SIM_SYSTEM was refused at the last Reset()
// (the system then has no boards), or "" when it loaded.
std::string SystemError();

struct BoardDesc {
  uint32_t family = CISYS_TYPE_R64;  // CISYS_TYPE_*
  uint32_t index = 0;                // position within its family
  std::string model;                 // e.g. "R64-CL"
  uint32_t model_code = 0;           // answer to BF_INQ_MODEL
  bool camera_link = false;
  bool karbon = false;
  bool neon = false;
  bool neon_switchable = false;
  bool alta = false;
  bool cxp = false;
  uint32_t ports = 1;
  uint32_t switch_number = 0;
  uint32_t connector = 0;
  std::string camera;  // camera file loaded by CiBrdOpen, or "" for the built-in one
  bool open = false;
  bool held_elsewhere = false;
  bool trigger_any_camera = false;  // register 17 bit 30
  bool link_full_speed = true;      // Gn2 link, BF_INQ_LINK_SPEED
  bool host_qtabs = true;           // BFQTabModeRequest grants host QTabs
  uint32_t gpout = 0;               // general-purpose outputs when opened
  uint32_t vfg = 0;                 // BFGetVFGNum
  bool camera_connected = true;     // now (SetCameraConnected), first from the system file
  uint32_t board_model = 0;         // answer to BF_INQ_BRD_MODEL (system file key "lut")
  bool timing_generator = false;    // system file key "timing"
};
std::vector<BoardDesc> Boards();

void SetDriverReady(bool ready);
// What BFGetBuildTarget reports (0 after Reset).
void SetBuildTarget(uint32_t target);
// Marks board `n` (position in Boards()) as held by another process: opens
// fail with BF_ERR_BRD_HELD (or BF_ERR_BRD_HELD_CAM for CiBrdOpenCam).
void SetHeldElsewhere(uint32_t n, bool held);

// ---- registers ------------------------------------------------------------------
// Looks inside an open board; `n` as for SetHeldElsewhere.
uint32_t PeekRegister(uint32_t n, uint32_t id);
void PokeRegister(uint32_t n, uint32_t id, uint32_t value);
// Identifier of a register by its name in this SDK version, if it has one.
std::optional<uint32_t> RegisterByName(std::string_view name);
// The SDK version's register names (index = identifier, "" for none),
// covering every identifier the version knows.
std::vector<std::string> RegisterNames();
// What BFRegPeek reads of register `id` on board `n`, whatever the register
// file holds (writes still reach it, and PeekRegister still shows it): one
// value a read, in turn; the last then stays until the sequence is replaced.
// An empty sequence ends it. Kept across opens, until Reset().
void SetRegisterReadSequence(uint32_t n, uint32_t id, std::vector<uint32_t> values);
// Called on the reading thread, outside every simulator lock, for each
// BFRegPeek of register `id` on board `n` with the value the read would give
// (the sequence's, else the register file's); the read gives what it returns.
// An empty function removes it. Kept across opens, until Reset().
using RegisterReadHook = std::function<uint32_t(uint32_t value)>;
void SetRegisterReadHook(uint32_t n, uint32_t id, RegisterReadHook hook);

// ---- signals -------------------------------------------------------------------
// Raises every created signal of `type` on board `n` once, as the board does
// when the event happens. Returns how many signals were raised.
uint32_t RaiseSignal(uint32_t n, uint32_t type);
// The same, with what an extended wait reports for this event (by default a
// line count of 0 and the fine-tick time of the raise).
uint32_t RaiseSignal(uint32_t n, uint32_t type, uint32_t line_count, uint64_t time_stamp);
// Number of signals currently created on board `n`.
uint32_t LiveSignals(uint32_t n);
// Threads blocked right now in a wait on a signal of board `n`: lets a test
// know a waiter has really blocked before it raises or cancels.
uint32_t BlockedWaiters(uint32_t n);

// ---- trigger state -------------------------------------------------------------
struct TriggerDesc {
  uint32_t mode = 0;  // with the three further values of CiConVTrigModeSet
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t c = 0;
  bool external_connected = false;
  uint32_t port = 0;  // the current camera port
};
// Board `n`'s trigger settings and current port.
std::optional<TriggerDesc> Trigger(uint32_t n);

// ---- camera files --------------------------------------------------------------
// A camera as its camera file describes it (format in cameras/README.md).
struct CameraDesc {
  std::string file;  // "" for the built-in camera
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 0;
  uint32_t bytes_per_pixel = 0;
  uint32_t depth2 = 0;
  uint32_t bytes_per_pixel2 = 0;
  bool color = false;  // 32-bit pixels are four colour components
  uint32_t trigger_mode = 0;
  uint32_t trigger_a = 0;
  uint32_t trigger_b = 0;
  uint32_t trigger_c = 0;
  uint32_t frame_rate = 0;
  uint32_t timeout_ms = 0;
  uint32_t interlace = 1;
  std::vector<uint32_t> start_stop_lines;
};
// Parses camera-file text; returns the error text ("line N: ..."), empty on
// success, when `camera` is filled.
std::string ParseCamera(std::string_view text, CameraDesc *camera);
// Why the camera file of the last refused open could not be loaded
// ("<path>: line N: ..."), "" when the last open loaded its camera.
std::string LastCameraError();
// The camera on board `n`'s current port.
std::optional<CameraDesc> CurrentCamera(uint32_t n);

// ---- frames --------------------------------------------------------------------
// Every frame carries a pattern of its number f (per board, from 0 since the
// board was opened) and each pixel's camera position:
//   value(f, x, y, c) = (x + 3*y + 7*c + 13*f) mod 2^bits
// with `bits` the bits of one component: the gray depth, or 8, 10, 8, 12 for
// 24-, 30-, 32- and 36-bit colour. Pixel layouts in cameras/README.md.
uint64_t PatternValue(uint64_t frame, uint32_t x, uint32_t y, uint32_t component, uint32_t bits);

// Part of a frame: the region's offset and width, the lines delivered, and
// the depth (the camera's, or the board's second depth).
struct FrameWindow {
  uint32_t column = 0;
  uint32_t row = 0;
  uint32_t width = 0;  // 0: to the camera's right edge
  uint32_t lines = 0;  // 0: to the camera's last line
  bool second_depth = false;
};
// Frame `frame` of `camera` as the board delivers it: lines top-down, each of
// width × bytes per pixel bytes, without padding.
std::vector<uint8_t> ExpectedFrame(const CameraDesc &camera, uint64_t frame,
                                   const FrameWindow &window = {});

// ---- acquisition ---------------------------------------------------------------
struct AcquisitionDesc {
  bool armed = false;
  bool snap = false;  // armed for one frame
  bool dma_running = false;
  uint32_t chain_length = 0;    // QTabs of the engaged chain, 0 none
  uint32_t chain_position = 0;  // the one the next frame fills
  uint64_t frames = 0;          // produced since the board was opened
  uint32_t last_lines = 0;
  uint32_t column = 0, row = 0, width = 0, height = 0;  // the window frames are cut to
  uint32_t format = 3;                                  // CiConAqMode
  uint32_t lut_bits = 0;
  uint32_t lut_type = 0;
  uint32_t gpout = 0;
  uint32_t interrupts = 0;  // bit n: CiConInt(n, 1)
  uint32_t int_mode = 0;
  uint32_t ctab_resets = 0;
  bool start_stop_interrupt = false;  // CiChainSIPEnable
};
std::optional<AcquisitionDesc> AcquisitionState(uint32_t n);

// Quick Switch mode of board `n` (BFQSModeSet): whether a next frame is
// programmed (CiConQSSetNextFrame) and not yet taken, and the frames
// delivered in the mode since the board was opened.
struct QuickSwitchDesc {
  bool on = false;
  bool next_set = false;
  uint64_t frames = 0;
};
std::optional<QuickSwitchDesc> QuickSwitch(uint32_t n);

// QTabs created on board `n` and not yet released. Closing the board does
// not release them (they become unusable), so a leak stays visible here.
uint32_t LiveQTabs(uint32_t n);

// Frames of a free-running camera come from a clock thread at its frame rate
// while acquisition is armed. The manual clock stops that (triggers still
// work); DeliverFrames then produces frames synchronously, in any trigger
// mode, as long as acquisition is armed, DMA runs into an engaged chain and
// the camera is connected. Returns how many were produced.
void SetManualClock(uint32_t n, bool manual);
uint32_t DeliverFrames(uint32_t n, uint32_t count);
// Blocks until board `n` is armed (a snap or continuous acquisition), at most
// `timeout_ms`; false on time-out.
bool WaitArmed(uint32_t n, uint32_t timeout_ms);
uint64_t FramesProduced(uint32_t n);
// What BFFineRate reports for an open board: by default the rate of the time
// stamps (1000000 a second) in the xl version, 0 in the others. The time
// stamps themselves do not change. A board's own setting comes before the one
// for every board; both are dropped by Reset().
void SetFineRate(uint64_t rate);
void SetFineRate(uint32_t n, uint64_t rate);

// A pulse on the external trigger input: a frame in the triggered modes (2,
// 3, 6, 7, 8) while the input is connected (CiConExTrigConnect). Returns the
// frames produced (0 or 1).
uint32_t PulseExternalTrigger(uint32_t n);
// The level CiConHwTrigStat reads.
void SetTriggerInput(uint32_t n, bool asserted);
// A disconnected camera delivers nothing and clears the connection registers.
void SetCameraConnected(uint32_t n, bool connected);
// A FIFO overflow (raises type 2, reported once by CiAqOverflowCheck) and a
// hardware exception (raises type 1). Return the signals raised.
uint32_t InjectOverflow(uint32_t n);
uint32_t InjectHardwareException(uint32_t n);

// ---- Camera Link serial --------------------------------------------------------
// Each Camera Link board's serial port is wired to a simulated camera (command
// set in cameras/README.md, "Serial camera"). `n` is the board's position as
// above; for a board without a port the calls do nothing and read as empty.
// Ports and cameras start afresh at every Reset() and LoadSystem().
struct SerialLine {
  uint32_t baud = 9600;
  uint32_t data_bits = 8;  // 5 to 8
  char parity = 'N';       // 'N', 'O' or 'E'
  uint32_t stop_bits = 1;  // 1, 15 (one and a half) or 2
  bool operator==(const SerialLine &) const = default;
};
// Bytes the camera sends now, waiting in the port until read (whatever line
// the port is set to; at most 64 KiB wait, the rest is lost).
void QueueSerialBytes(uint32_t n, std::string_view bytes);
// Bytes received and not yet read.
size_t SerialPending(uint32_t n);
// What the port was given since the last take, one record per write call.
struct SerialWriteRecord {
  std::string bytes;
  uint64_t at_us = 0;  // monotonic microseconds when the write arrived
};
std::vector<SerialWriteRecord> TakeSerialWrites(uint32_t n);
// The same, the bytes run together.
std::string TakeSerialWritten(uint32_t n);
// The camera's own line, 9600 8N1 unless set: written bytes reach the camera,
// and it answers, only while the port is set to the same line.
void SetSerialCameraLine(uint32_t n, const SerialLine &line);
// The line the port is set to; nullopt without a port or when its baud code
// selects no rate.
std::optional<SerialLine> SerialPortLine(uint32_t n);
// Writes a raw baud code into the port, as clBFGetBaudRate will report it.
void SetSerialPortBaudCode(uint32_t n, uint32_t code);
// kFail: writes fail at once with CL_ERR_LINE_FAULT. kStall: writes wait out
// their time-out and fail with CL_ERR_TIMEOUT, unless the fault is cleared
// meanwhile (they then go on).
enum class SerialWriteFault { kNone, kFail, kStall };
void SetSerialWriteFault(uint32_t n, SerialWriteFault fault);
// The camera's settings, changed by its commands.
struct SerialCameraState {
  uint32_t exposure_us = 0;
  uint32_t gain = 0;
};
std::optional<SerialCameraState> SerialCamera(uint32_t n);
// Serial references open now, over all boards.
uint32_t OpenSerialHandles();
// Reads and stalled writes blocked right now on board `n`'s port.
uint32_t BlockedSerialCalls(uint32_t n);
// Device lists of the configuration query not yet freed (kept across Reset).
uint32_t LiveDeviceLists();
// ---- devices -------------------------------------------------------------------
// Bank 0..3 of board `n`'s LUT, 4096 entries; empty for another bank or board.
// The LUT and the control table start at 0 whenever a board is opened anew.
std::vector<uint16_t> LutBank(uint32_t n, uint32_t bank);
// Board `n`'s control table, 16384 entries.
std::vector<uint16_t> ControlTable(uint32_t n);

struct LinesDesc {
  uint32_t gpout = 0;    // the output register (CiRegGPOutGet)
  uint32_t outputs = 0;  // what the output lines carry
  uint32_t inputs = 0;   // bit k: input k is high
  uint32_t cc[3] = {};   // camera-control lines CC A, CC B, CC C
};
std::optional<LinesDesc> Lines(uint32_t n);
// Levels of board `n`'s inputs (bit k: input k), kept across opens.
void SetInputLines(uint32_t n, uint32_t levels);

// The timing generator's settings; nullopt for a board without one.
struct TimingDesc {
  double exposure = 0;  // microseconds
  double period = 0;
  uint32_t trig_mode = 0;
  uint32_t assert_high = 0;
  uint32_t output = 0;
};
std::optional<TimingDesc> TimingGenerator(uint32_t n);

// The CoaXPress camera's registers on board `n` (cameras/README.md):
// nullopt for an address it does not have. Setting may change read-only
// registers too; false when the address does not exist.
std::optional<uint32_t> CxpRegister(uint32_t n, uint32_t address);
bool SetCxpRegister(uint32_t n, uint32_t address, uint32_t value);

// ---- firmware and versions -------------------------------------------------------
// The firmware board `n` runs now: the first of its firmware files (system
// file key "firmware") until a flash request switches it; nullopt for no board.
std::optional<std::string> CurrentFirmware(uint32_t n);
// Non-zero: board `n` refuses every flash request with this SDK code; 0
// accepts them again. Kept until the system is replaced.
void RefuseFlashRequests(uint32_t n, uint32_t code);
// What BFDVersion (bit 31 of `major`: a debug build) and BFBuildNumber
// report until the next Reset(), which restores the numbers of the version.
void SetSdkVersion(uint32_t major, uint32_t minor);
void SetSdkBuild(uint32_t build);

// ---- faults --------------------------------------------------------------------
// The `nth` call (1 = the next one) of the SDK function `function`, counted
// from now, returns `code` without doing anything; later calls behave again.
void FailCall(std::string_view function, uint32_t nth, uint32_t code);
// The `nth` SDK call from now, whichever function it is, returns `code`
// without doing anything (a void function just does nothing); 0 disarms.
// One such fault is armed at a time; ClearFaults and Reset() disarm it too.
void FailAnyCall(uint32_t nth, uint32_t code);
void ClearFaults();
// Calls of each SDK function since the last Reset().
uint64_t CallCount(std::string_view function);
// Calls of all SDK functions together since the last Reset(): run a scenario
// once and the difference is how many failure points it reaches.
uint64_t TotalCallCount();

// ---- the call log ----------------------------------------------------------------
// While recording is on, each SDK call is logged as it is entered, and its
// entry is completed when it returns: a call that blocks (a signal wait, a
// stalled serial write) shows, while it blocks, as not returned. A call is
// logged when recording was on as it was entered; its return is filled in
// even if recording has been switched off since. At most 1,000,000 entries
// are kept, the oldest dropped first.
//
// Records an entry names:
//   sig#<order>:<type>  a signal (the calls on one, and CiBrdAqSigSetCur): the
//                       <order>th created since Reset(), of <type>.
//                       CiSignalCreate names the one it made from its return on
//                       ("" before, and when it failed); a handle not created
//                       since Reset() reads "sig#?".
//   qtab#<order>        a QTab: the <order>th made by CiRelQTabCreate since
//                       Reset() (named from its return on, as above). The
//                       chain link names its list, "qtab#1,qtab#2"; the chain
//                       engage, the start/stop interrupt calls and the Quick
//                       Switch next frame the head of theirs; "qtab#?" an
//                       unknown one.
//   the camera text     CiBrdOpen, CiBrdOpenCam.
//   <family>:<number>   any other call on an open board: the board as the
//                       system file numbers it ("R64:0"; "" for a handle of
//                       no open board).
//   ""                  calls on nothing of these (enumeration, serial calls
//                       by reference, versions, ticks).
// Payloads, the bytes a call hands over:
//   clSerialWrite        the bytes offered; clSerialRead: the bytes read, from
//                        its return on.
//   CiLutWrite           the block as given (count × entry size bytes), when
//                        the LUT takes entries of that size in that range;
//                        CiLutPoke: the entry, two bytes, little endian.
//   BFFlashRequest       the file name the request carries.
//   BFOutputDebugString  the text.
struct Call {
  std::string function;
  std::vector<uint64_t> args;  // the arguments after the board handle, as integers
  uint32_t result = 0;         // once returned
  // The call's number among all SDK calls since Reset(): what
  // TotalCallCount() reads just after it was entered.
  uint64_t sequence = 0;
  uint32_t thread = 0;  // the calling thread's id (ThisThreadId)
  std::string record{};
  std::string payload{};
  bool returned = false;
};

// Recording of SDK calls, off by default and after Reset().
void RecordCalls(bool on);
// Returns the log in entry order and empties it, entries of calls that have
// not returned yet included: their later return is then not logged (a test
// that wants it looks with Calls() or WaitForReturn() before taking).
std::vector<Call> TakeCalls();
// Names only, in entry order, for quick comparisons; empties the log too.
std::vector<std::string> TakeCallNames();

// Which entries a look at the log is about; empty or 0 fields match any.
struct CallFilter {
  std::string function;
  std::string record;
  uint32_t thread = 0;
  uint64_t after = 0;  // only entries of a greater sequence number
};
// The entries that match, in entry order; the log keeps them.
std::vector<Call> Calls(const CallFilter &filter = {});
// The calling thread's id: threads are numbered 1, 2, 3... in the order they
// first show in the log, or ask here, since the last Reset().
uint32_t ThisThreadId();
// Blocks until the log holds an entry that matches, at most `timeout_ms`, and
// returns the first; nullopt on time-out. Entries are matched from their
// entry on, so this tells a test that a call has been made and, for a wait,
// that the thread is in it. Pass `after` = TotalCallCount() read before the
// call is provoked, so an older entry cannot match.
std::optional<Call> WaitForCall(const CallFilter &filter, uint32_t timeout_ms);
// Blocks until the entry of `sequence` has returned, at most `timeout_ms`,
// and returns it; nullopt on time-out or when it is not in the log (never
// logged, taken, pushed out, or the log restarted by Reset()).
std::optional<Call> WaitForReturn(uint64_t sequence, uint32_t timeout_ms);

// Texts given to BFOutputDebugString; also printed to stderr while the
// environment variable GRABLINE_SIM_DEBUG is set.
std::vector<std::string> DebugOutput();
// Boards (positions) for which BFErrorShow was called, in order.
std::vector<uint32_t> ErrorShows();
// Empties these logs and the call log.
void ClearLogs();

}  // namespace bfsim

#pragma GCC visibility pop
