# Cross-compiles the 32-bit Windows console program with Debian's MinGW-w64
# compilers (package g++-mingw-w64-i686), over the msvcrt.dll runtime, and
# runs what it builds under Wine (packages wine and wine32).
#
#   cmake -S . -B build-windows --toolchain cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(OS64_MINGW_TARGET i686-w64-mingw32)
find_program(OS64_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
