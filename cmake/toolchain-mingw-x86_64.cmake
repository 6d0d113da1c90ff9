# Cross-compiles the 64-bit Windows console program with Debian's MinGW-w64
# compilers (package g++-mingw-w64-x86-64), over the msvcrt.dll runtime, and
# runs what it builds under 64-bit Wine (package wine64).
#
#   cmake -S . -B build-windows64 --toolchain cmake/toolchain-mingw-x86_64.cmake
#
# The 64-bit program runs on its own loader, wine64, which Debian keeps in
# /usr/lib/wine.  The wine wrapper is no way to start it: where 32-bit Wine
# is installed the wrapper always takes that loader, and on a machine whose
# kernel cannot run 32-bit programs that loader cannot start at all.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(OS64_MINGW_TARGET x86_64-w64-mingw32)
find_program(OS64_WINE wine64 PATHS /usr/lib/wine /usr/lib64/wine /usr/libexec/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
