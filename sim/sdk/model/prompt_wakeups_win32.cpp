// The system's timer ticks every 15.6 ms by default, so a wait for a frame's
// end would come up to a tick late: the clock asks for 1 ms ticks while it
// runs (the request is counted per process and given back when it ends).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include "model/prompt_wakeups.hpp"

namespace bfsim::model {
namespace {
thread_local bool asked = false;
}  // namespace

void AskForPromptWakeUps() { asked = timeBeginPeriod(1) == TIMERR_NOERROR; }

void EndPromptWakeUps() {
  if (asked) timeEndPeriod(1);
  asked = false;
}

}  // namespace bfsim::model
