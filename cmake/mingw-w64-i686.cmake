# Toolchain file: cross-compiling for Windows with MinGW-w64; only the target
# triplet differs between the two files.
set(MIRELLE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
