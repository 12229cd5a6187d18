// process_end.hpp — whether the process is ending with its other threads
// already stopped. Windows stops them wherever they were before the DLLs'
// static objects go, so those must not wait for a thread or take a lock a
// stopped thread may hold. Elsewhere static objects go while the threads
// still run, and must stop them. One file per system.
#pragma once

namespace bfsim::model {

bool ThreadsStoppedByProcessEnd();

}  // namespace bfsim::model
