// prompt_wakeups.hpp — a camera does not wait for the machine: the frame
// clock's thread asks the system to wake it on time rather than a scheduler
// slice or a timer tick late. One file per system (prompt_wakeups_posix.cpp,
// prompt_wakeups_win32.cpp). Neither needs privileges; where the system has
// no such request, both do nothing.
#pragma once

namespace bfsim::model {

// Called on the clock thread when it starts and before it ends.
void AskForPromptWakeUps();
void EndPromptWakeUps();

}  // namespace bfsim::model
