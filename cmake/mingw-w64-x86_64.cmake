# Cross build for 64-bit Windows with Debian's mingw-w64 (the "-posix"
# compilers, whose runtime has std::thread). The runtime libraries are
# linked statically so the programs run without DLLs beside them, under
# Wine as on Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARROW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARROW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARROW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARROW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARROW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run through Wine's loader, which Debian installs outside PATH.
find_program(QUARROW_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUARROW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUARROW_WINE})
endif()
