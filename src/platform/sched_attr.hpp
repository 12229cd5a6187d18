// sched_attr.hpp — the kernel's scheduler-attribute record in its first
// version, which glibc does not declare; read and written with the
// sched_getattr and sched_setattr system calls.
#pragma once

#include <cstdint>

namespace grabline::os {

struct SchedAttr {
  uint32_t size;
  uint32_t policy;
  uint64_t flags;
  int32_t nice;
  uint32_t priority;
  uint64_t runtime;  // ns of the slice the thread asks for
  uint64_t deadline;
  uint64_t period;
};

}  // namespace grabline::os
