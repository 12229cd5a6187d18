// event_threads.hpp — the threads that follow the board's events for one
// instance: frame done and exposure done (open to close), FIFO overflow and
// hardware exception (on request).
#pragma once

#include "bfsdk.h"
#include "platform/os.hpp"
#include "tarvel.h"

namespace grabline {

struct InstanceRecord;

// Creates the frame-done, exposure-done, grab and exposure signals and starts
// the two threads; on failure whatever was started is left for
// StopEventThreads.
Terr StartEventThreads(TFgInstance *fginst);

// Stops every event thread of the instance and frees their signals.
void StopEventThreads(TFgInstance *fginst);

enum class EventKind { kOverflow, kHardwareException };

// The overflow and hardware-exception threads: starting a running one and
// stopping a stopped one succeed without effect.
Terr StartEventThread(TFgInstance *fginst, EventKind kind);
Terr StopEventThread(TFgInstance *fginst, EventKind kind);

// An overflow the event threads saw while no continuous-grab worker was
// there to re-arm the board: the next grab resets the acquisition, then
// acknowledges it.
bool ThreadOverflowPending(const InstanceRecord &inst);
void AcknowledgeOverflow(InstanceRecord &inst);

// Cancels the signal a thread waits on, polls its exit code every 10 ms until
// it has ended, and closes its handle.
void StopThread(Bd board, CiSIGNAL *signal, os::Thread **thread);
// The same for a thread whose signal the caller has cancelled already
// (`cancelled`: whether the SDK took that cancel).
void AwaitThread(Bd board, CiSIGNAL *signal, os::Thread **thread, bool cancelled);

}  // namespace grabline
