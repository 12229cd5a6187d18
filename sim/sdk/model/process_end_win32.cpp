// The loader tells whether the DLLs are being detached because the process
// ends (its other threads are gone) or because one is unloaded.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "model/process_end.hpp"

namespace bfsim::model {

bool ThreadsStoppedByProcessEnd() {
  using Query = BOOLEAN(NTAPI *)();
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void *>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlDllShutdownInProgress")));
  return query != nullptr && query() != 0;
}

}  // namespace bfsim::model
