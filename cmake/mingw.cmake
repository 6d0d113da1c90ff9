# What the two Windows cross builds share.  A toolchain file sets
# OS64_MINGW_TARGET (the compilers' prefix) and OS64_WINE (how to run what
# they build here), then includes this file.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${OS64_MINGW_TARGET}-gcc)
set(CMAKE_CXX_COMPILER ${OS64_MINGW_TARGET}-g++)
set(CMAKE_RC_COMPILER ${OS64_MINGW_TARGET}-windres)

# Libraries and headers come from the MinGW tree only; programs run on the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${OS64_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that runs on a bare Windows: the C++ library and the compiler's
# support library are linked in, leaving only system DLLs to import.  The
# linker writes no time stamp into its header, so the same sources give the
# same .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# try_run and CTest run the programs through Wine.
if(OS64_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${OS64_WINE}")
endif()
