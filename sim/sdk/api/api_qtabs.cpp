// QTabs: creation, the chain that makes them a ring, and their release. The
// records belong to the caller; the SDK reads them only during a call and
// keeps nothing but the id it writes into them.
#include <vector>

#include "api/call_gate.hpp"
#include "api/call_records.hpp"
#include "api/sdk_layer.hpp"

namespace bfsim::api {
namespace {

constexpr uint32_t kMaxChain = 65536;

// The id a QTab record carries, 0 for none.
uint64_t QTabId(const RQTabHeadRec *qtab) { return qtab == nullptr ? 0 : IdOf(qtab->impl); }

// The ids of a caller's list of QTab records.
bool ReadList(RQTabHeadPtr *list, uint32_t count, std::vector<uint64_t> &ids) {
  if (list == nullptr || count == 0 || count > kMaxChain) return false;
  ids.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    ids[i] = QTabId(list[i]);
    if (ids[i] == 0) return false;
  }
  return true;
}

// The chain link names every QTab of its list.
auto OfList(RQTabHeadPtr *list, uint32_t count) {
  return [=] { return Detail{QTabNames(list, count), {}}; };
}

BFRC ChainCall(Bd board, RQTabHeadPtr *chain, bool enable) {
  if (chain == nullptr || QTabId(chain[0]) == 0) return BF_ERR_BAD_ARG;
  return ToCode(Sys().SetStartStopInterrupt(IdOf(board), QTabId(chain[0]), enable));
}

}  // namespace
}  // namespace bfsim::api

using bfsim::api::Entered;
using bfsim::api::Gate;
using bfsim::api::IdOf;
using bfsim::api::OfChain;
using bfsim::api::OfQTab;
using bfsim::api::OnBoard;
using bfsim::api::Plain;
using bfsim::api::QTabId;
using bfsim::api::Sys;
using bfsim::api::ToCode;
using bfsim::model::Board;

extern "C" {

BFRC BFQTabModeRequest(Bd board, uint32_t requested, uint32_t *granted) {
  return Gate<BFRC>("BFQTabModeRequest", {requested}, OnBoard(board), [&]() -> BFRC {
    if (granted == nullptr) return BF_ERR_BAD_ARG;
    return ToCode(Sys().WithBoard(IdOf(board), [&](Board &b, uint32_t) {
      *granted = requested == BF_QTAB_HOST && b.config.host_qtabs ? BF_QTAB_HOST : 0;
    }));
  });
}

BFRC CiRelQTabCreate(Bd board, CiCam camera, void *destination, uint32_t size, int32_t stride,
                     RQTabHeadPtr qtab, uint32_t format, uint32_t lut_bank, uint32_t lut_type,
                     uint32_t dest_kind, uint32_t flags) {
  // Every argument is recorded, addresses too: tests check where buffers lie.
  const auto stride_bits = static_cast<uint64_t>(static_cast<int64_t>(stride));
  return Gate<BFRC>(
      "CiRelQTabCreate",
      {IdOf(camera), IdOf(destination), size, stride_bits, IdOf(qtab), format, lut_bank, lut_type,
       dest_kind, flags},
      Plain{}, [&](Entered &call) -> BFRC {
        const int64_t pitch = stride < 0 ? -int64_t{stride} : int64_t{stride};
        if (destination == nullptr || qtab == nullptr || size == 0 || pitch == 0 || pitch > size) {
          return BF_ERR_BAD_ARG;
        }
        if (format != BF_FORMAT_CAMERA && format != BF_FORMAT_SECOND_DEPTH) {
          return BF_ERR_BAD_ARG;
        }
        bfsim::model::QTab layout;
        layout.destination = static_cast<uint8_t *>(destination);
        layout.size = size;
        layout.stride = stride;
        layout.format = format;
        layout.lut_bank = lut_bank;
        layout.lut_type = lut_type;
        layout.dest_kind = dest_kind;
        uint64_t id = 0;
        bfsim::model::Status status =
            Sys().CreateQTab(IdOf(board), IdOf(camera), layout, QTabId(qtab), id);
        if (status == bfsim::model::Status::kOk) {
          qtab->impl = bfsim::api::HandleOf<void *>(id);
          call.Made(bfsim::api::NameQTab(id));
        }
        return ToCode(status);
      });
}

BFRC CiPhysQTabCreate(Bd board, RQTabHeadPtr qtab, uint32_t flags) {
  return Gate<BFRC>("CiPhysQTabCreate", {flags}, OfQTab(qtab), [&]() -> BFRC {
    if (QTabId(qtab) == 0) return BF_ERR_BAD_ARG;
    return ToCode(Sys().MakePhysical(IdOf(board), QTabId(qtab)));
  });
}

BFRC CiPhysQTabChainLink(Bd board, RQTabHeadPtr *list, uint32_t count) {
  return Gate<BFRC>("CiPhysQTabChainLink", {count}, bfsim::api::OfList(list, count), [&]() -> BFRC {
    std::vector<uint64_t> ids;
    if (!bfsim::api::ReadList(list, count, ids)) return BF_ERR_BAD_ARG;
    return ToCode(Sys().LinkChain(IdOf(board), ids));
  });
}

BFRC CiPhysQTabChainEngage(Bd board, RQTabHeadPtr *list, uint32_t flags) {
  return Gate<BFRC>("CiPhysQTabChainEngage", {flags}, OfChain(list), [&]() -> BFRC {
    if (list == nullptr || QTabId(list[0]) == 0) return BF_ERR_BAD_ARG;
    return ToCode(Sys().EngageChain(IdOf(board), QTabId(list[0])));
  });
}

BFRC CiPhysQTabFree(Bd board, RQTabHeadPtr qtab) {
  return Gate<BFRC>("CiPhysQTabFree", {}, OfQTab(qtab), [&]() -> BFRC {
    if (QTabId(qtab) == 0) return BF_ERR_BAD_ARG;
    return ToCode(Sys().FreeQTab(IdOf(board), QTabId(qtab), false));
  });
}

// The record keeps its id: it is never handed out again, so a second free or
// a stale use is refused.
BFRC CiRelQTabFree(Bd board, RQTabHeadPtr qtab) {
  return Gate<BFRC>("CiRelQTabFree", {}, OfQTab(qtab), [&]() -> BFRC {
    if (QTabId(qtab) == 0) return BF_ERR_BAD_ARG;
    return ToCode(Sys().FreeQTab(IdOf(board), QTabId(qtab), true));
  });
}

BFRC CiChainSIPEnable(Bd board, RQTabHeadPtr *chain) {
  return Gate<BFRC>("CiChainSIPEnable", {}, OfChain(chain),
                    [&]() -> BFRC { return bfsim::api::ChainCall(board, chain, true); });
}

BFRC CiChainSIPDisable(Bd board, RQTabHeadPtr *chain) {
  return Gate<BFRC>("CiChainSIPDisable", {}, OfChain(chain),
                    [&]() -> BFRC { return bfsim::api::ChainCall(board, chain, false); });
}

}  // extern "C"
