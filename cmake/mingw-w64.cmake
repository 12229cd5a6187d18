# Cross-compiling for 64-bit Windows with Debian's MinGW-w64, POSIX thread model
# (std::thread and std::mutex need it). The tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLLs and executables carry their runtime, so nothing else has to sit
# beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A DLL exports its own symbols only, not those of the runtime it carries.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")

find_program(GRABLINE_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT GRABLINE_WINE)
  find_program(GRABLINE_WINE wine64)
endif()
if(GRABLINE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GRABLINE_WINE})
endif()
