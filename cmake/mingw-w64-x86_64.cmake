# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads flavour):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs built here run under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSERA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSERA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSERA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSERA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSERA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and the DLL carry their own C++ runtime and threads: without -static the posix
# flavour still imports libwinpthread-1.dll, which neither Windows nor Wine provides. No link time
# goes into the files' headers, so the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# Wine 64-bit loader (Debian's wine64 puts nothing on PATH). WINEPREFIX and WINEDEBUG come from
# the environment; see .ci/stages/30-windows.sh.
find_program(TESSERA_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(TESSERA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSERA_WINE64})
endif()
# GoogleTest lists a program's tests at ctest time, when the Wine server is already up, not
# while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
