# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs are linked statically, so they need no DLL beside them. Tests run
# under Wine through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLOTWEAVE_MINGW_PREFIX x86_64-w64-mingw32)
# The -posix variant brings std::thread and friends, which GoogleTest uses.
set(CMAKE_C_COMPILER ${PLOTWEAVE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLOTWEAVE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PLOTWEAVE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLOTWEAVE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Windows programs built here run under Wine: the tests, test discovery and
# anything else CMake runs goes through this wrapper (written by the top-level
# CMakeLists.txt into the build directory, with its own Wine prefix).
set(PLOTWEAVE_WINE "/usr/lib/wine/wine64" CACHE FILEPATH "Wine loader for 64-bit Windows programs")
