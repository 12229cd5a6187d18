#include "instance/open_release.hpp"

#include "acq/event_threads.hpp"
#include "board/process_objects.hpp"
#include "board/ring_memory.hpp"
#include "plugin/host_call.hpp"
#include "plugin/instance_table.hpp"

namespace grabline {

Terr OpenRelease::operator()(Terr code) {
  InstanceRecord &inst = Inst(fginst);
  if (inst.board != nullptr) {
    // Threads first: they wait on signals of the board about to close.
    StopEventThreads(fginst);
    DestroyRing(proc_id, inst);
    LeaveBoardRing(inst);
    inst.ring.count = 0;
    if (counted) {
      --g_open_instances;
      --inst.board->users;
    }
    if (opened_here) {
      FreeBoardRing(proc_id, inst);
      CiBrdClose(inst.board->handle);
      HOST_FREE(proc_id, inst.board, "inst.board");
    }
  }
  inst.board = nullptr;
  inst.acquisition_pending = 0;
  if (inst.cancel_mutex != nullptr) {
    const Terr destroyed = HOST_CALL("TpThreadMutexDestroy(&inst.cancel_mutex)",
                                     TpThreadMutexDestroy(&inst.cancel_mutex));
    inst.cancel_mutex = nullptr;
    if (destroyed != FG_OK) return destroyed;
  }
  if (g_open_instances == 0) DestroyProcessObjects();
  return code;
}

}  // namespace grabline
