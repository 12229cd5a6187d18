// win32.hpp — the system's header for the OS layer's Windows files, without
// the macros that would rename the layer's own functions (CreateEvent is
// CreateEventA there, and so on). The layer calls the A forms by name.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateEvent
#undef CreateSemaphore
#undef CreateMutex
#undef OutputDebugString
