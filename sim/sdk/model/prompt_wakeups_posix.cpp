// A short scheduler slice for the calling thread: its share stays the same,
// but on a busy machine its wake-ups come on time.
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

#include "model/prompt_wakeups.hpp"

namespace bfsim::model {
namespace {

// The kernel's sched_attr in its first version.
struct SchedAttr {
  uint32_t size;
  uint32_t policy;
  uint64_t flags;
  int32_t nice;
  uint32_t priority;
  uint64_t runtime;
  uint64_t deadline;
  uint64_t period;
};

}  // namespace

void AskForPromptWakeUps() {
#if defined(SYS_sched_getattr) && defined(SYS_sched_setattr)
  SchedAttr attr{};
  if (syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) != 0) return;
  if (attr.policy != SCHED_OTHER && attr.policy != SCHED_BATCH) return;
  attr.size = sizeof attr;
  attr.flags &= 1;         // reset-on-fork, the only flag of the first version to keep
  attr.runtime = 100'000;  // ns
  syscall(SYS_sched_setattr, 0, &attr, 0);
#endif
}

// The slice belongs to the thread and ends with it.
void EndPromptWakeUps() {}

}  // namespace bfsim::model
