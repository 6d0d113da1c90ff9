# Cross-compiles a 32-bit Windows console program with Debian's MinGW-w64
# compilers (package g++-mingw-w64-i686), over the msvcrt.dll runtime, and
# runs what it builds under Wine (packages wine and wine32).
#
#   cmake -S . -B build-windows --toolchain cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

# Libraries and headers come from the MinGW tree only; programs run on the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that runs on a bare Windows: the C++ library and the compiler's
# support library are linked in, leaving only system DLLs to import.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# try_run and CTest run the programs through Wine.
find_program(OS64_WINE wine)
if(OS64_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${OS64_WINE}")
endif()
