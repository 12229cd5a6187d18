// call_records.hpp — the names the call log gives the records SDK calls work
// on, and the bytes they hand over. Signals and QTabs are numbered as they
// are made, whether the log records or not, so a signal made before
// recording started still has its name in the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "api/call_gate.hpp"
#include "bfsdk.h"

namespace bfsim::api {

// Numbers a signal just made; returns its name, "sig#<order>:<type>".
std::string NameSignal(uint64_t id, uint32_t type);
std::string SignalName(const CiSIGNAL *signal);
// Numbers a QTab just made; returns its name, "qtab#<order>".
std::string NameQTab(uint64_t id);
std::string QTabName(const RQTabHeadRec *qtab);
// The names of the first `count` records of a caller's list, comma-separated.
std::string QTabNames(RQTabHeadPtr *list, uint32_t count);
// Forgets every number: counting starts again at 1.
void ClearRecordNames();

// The bytes at `data`, "" for none.
std::string Bytes(const void *data, size_t size);

// The board `board` names, "R64:0", "" for no open board.
std::string BoardName(Bd board);

// What the log's entry of a call names, worked out only as a logged call is
// entered. A call on a board names the board.
inline auto OnBoard(Bd board) {
  return [board] { return Detail{BoardName(board), {}}; };
}
inline auto OfSignal(const CiSIGNAL *signal) {
  return [signal] { return Detail{SignalName(signal), {}}; };
}
inline auto OfQTab(const RQTabHeadRec *qtab) {
  return [qtab] { return Detail{QTabName(qtab), {}}; };
}
// A call on a chain names its head.
inline auto OfChain(RQTabHeadPtr *list) {
  return [list] { return Detail{list == nullptr ? "" : QTabName(list[0]), {}}; };
}
// A call that hands bytes over and names nothing.
inline auto Handing(const void *data, size_t size) {
  return [data, size] { return Detail{"", Bytes(data, size)}; };
}
inline auto HandingText(const char *text) {
  return [text] { return Detail{"", text == nullptr ? "" : text}; };
}

}  // namespace bfsim::api
