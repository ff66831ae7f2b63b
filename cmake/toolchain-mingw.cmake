# Cross-compiles for Windows with mingw-w64, posix thread model (GoogleTest
# does not build with the win32 one). SETUP_MINGW_ARCH chooses the target:
#   i686   - 32-bit Windows (PE32): the shipped programs.
#   x86_64 - 64-bit Windows (PE32+): the same sources, whose programs run
#            under Wine's 64-bit loader also on machines that cannot execute
#            32-bit code at all.
if(NOT SETUP_MINGW_ARCH)
  set(SETUP_MINGW_ARCH "$ENV{SETUP_MINGW_ARCH}")
endif()
if(NOT SETUP_MINGW_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "SETUP_MINGW_ARCH must be i686 or x86_64, not '${SETUP_MINGW_ARCH}'")
endif()
# try_compile projects read this file again: hand the choice down to them.
set(ENV{SETUP_MINGW_ARCH} ${SETUP_MINGW_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SETUP_MINGW_ARCH)

set(triplet ${SETUP_MINGW_ARCH}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SETUP_MINGW_ARCH})

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every program of a Windows build runs under Wine in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
