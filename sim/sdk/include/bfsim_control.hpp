// bfsim_control.hpp — the control API of the simulated board SDK.
//
// Tests and tools use it to set up the simulated system, to look inside the
// boards (registers, signals, calls made), and to inject faults. The plug-in
// never includes it: it only sees bfsdk.h.
#pragma once

#include <cstdint>
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
};
std::vector<BoardDesc> Boards();

void SetDriverReady(bool ready);
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

// ---- faults --------------------------------------------------------------------
// The `nth` call (1 = the next one) of the SDK function `function`, counted
// from now, returns `code` without doing anything; later calls behave again.
void FailCall(std::string_view function, uint32_t nth, uint32_t code);
void ClearFaults();
// Calls of each SDK function since the last Reset().
uint64_t CallCount(std::string_view function);

// ---- logs ----------------------------------------------------------------------
struct Call {
  std::string function;
  std::vector<uint64_t> args;  // the arguments after the board handle, as integers
  uint32_t result = 0;
};
// Recording of SDK calls, off by default; TakeCalls returns and clears it.
void RecordCalls(bool on);
std::vector<Call> TakeCalls();
// Names only, in order, for quick comparisons.
std::vector<std::string> TakeCallNames();

// Texts given to BFOutputDebugString; also printed to stderr while the
// environment variable GRABLINE_SIM_DEBUG is set.
std::vector<std::string> DebugOutput();
// Boards (positions) for which BFErrorShow was called, in order.
std::vector<uint32_t> ErrorShows();
void ClearLogs();

}  // namespace bfsim

#pragma GCC visibility pop
