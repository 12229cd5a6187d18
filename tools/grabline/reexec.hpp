// reexec.hpp — running the tool binary of another host build: a process holds one
// host library, so a plug-in of another host runs in the tool built against it.
#pragma once

#include "interfaces.hpp"

namespace grabline::tool {

// Replaces this process with the binary built for `interface`, found beside this one,
// with the same arguments. Returns only on failure, with the exit status to use,
// after printing why.
int RunOtherBuild(const InterfaceInfo &interface, char **argv);

}  // namespace grabline::tool
