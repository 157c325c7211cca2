# The cross toolchain body: Windows programs built on Debian with MinGW-w64
# (posix threads: GoogleTest needs std::mutex, which the win32-threads
# variant lacks).  The toolchain files next to this one only name the target
# triplet, MIRELLE_MINGW_TRIPLET, and include it.
if(NOT MIRELLE_MINGW_TRIPLET)
    message(FATAL_ERROR "Use mingw-w64-x86_64.cmake or mingw-w64-i686.cmake as the toolchain file")
endif()
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${MIRELLE_MINGW_TRIPLET}")

set(CMAKE_C_COMPILER   ${MIRELLE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIRELLE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MIRELLE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MIRELLE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs of either architecture run under Wine; the wrapper picks the
# prefix of the build tree and the quiet settings (scripts/wine-env.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
