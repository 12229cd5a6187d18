// process_objects.hpp — the objects all instances of the process share: the
// two ready events the event threads set when they start, and the mutex that
// guards the counts of filled, untaken buffers.
#pragma once

#include "platform/os.hpp"

namespace grabline {

extern os::Event *g_frame_done_ready;
extern os::Event *g_exposure_done_ready;
extern os::Mutex *g_cg_list_mutex;

// Creates whatever is missing; false when the system refuses.
bool CreateProcessObjects();
// Destroys them (the last instance is gone).
void DestroyProcessObjects();

}  // namespace grabline
