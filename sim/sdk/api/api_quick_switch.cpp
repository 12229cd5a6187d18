// Quick Switch: the board mode and the next-frame call.
#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OfChain;
using bfsim::api::OnBoard;
using bfsim::api::Sys;
using bfsim::api::ToCode;

extern "C" {

BFRC BFQSModeSet(Bd board, uint32_t on) {
  return Gate<BFRC>("BFQSModeSet", {on}, OnBoard(board), [&]() -> BFRC {
    if (on > 1) return BF_ERR_BAD_ARG;
    return ToCode(Sys().SetQuickSwitchMode(IdOf(board), on != 0));
  });
}

// Only the head of the caller's list is read: the chain it is linked into
// names the rest, so an index beyond the list cannot reach past it.
BFRC CiConQSSetNextFrame(Bd board, RQTabHeadPtr *chain, uint32_t index, uint32_t position_a,
                         uint32_t position_b) {
  return Gate<BFRC>("CiConQSSetNextFrame", {index, position_a, position_b}, OfChain(chain),
                    [&]() -> BFRC {
                      if (chain == nullptr || chain[0] == nullptr || chain[0]->impl == nullptr) {
                        return BF_ERR_BAD_ARG;
                      }
                      return ToCode(Sys().SetQuickSwitchNext(IdOf(board), IdOf(chain[0]->impl),
                                                             index, position_a, position_b));
                    });
}

}  // extern "C"
