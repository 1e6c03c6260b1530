# What the Windows build (cross-compiled with cmake/mingw-w64-x86_64.cmake)
# needs besides the sources: the header-only CLI11 and toml++, GoogleTest
# built for the target from the build machine's sources, and the Wine prefix
# the tests run in. The window is not part of it: Qt for Windows comes from Qt's own
# installation on a Windows machine.

# The version block becomes a VERSIONINFO resource (cmake/VersionBlock.cmake).
enable_language(RC)

# CLI11's headers, copied alone so that no other header of the build machine
# reaches the target's include path.
find_path(QUARROW_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${QUARROW_CLI11_INCLUDE}/CLI DESTINATION ${CMAKE_BINARY_DIR}/host-headers)
# toml++ (header-only), for the engine's profile files, the same way.
find_path(QUARROW_TOMLPLUSPLUS_HOST toml++/toml.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${QUARROW_TOMLPLUSPLUS_HOST}/toml++ DESTINATION ${CMAKE_BINARY_DIR}/host-toml)
set(QUARROW_TOMLPLUSPLUS_INCLUDE ${CMAKE_BINARY_DIR}/host-toml CACHE PATH "toml++ headers for the target" FORCE)

# GoogleTest from its sources (Debian installs them in /usr/src/googletest).
set(QUARROW_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QUARROW_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(library gtest gtest_main gmock gmock_main)
  # GoogleTest's own sources do not pass the project's warning flags; they are
  # not the project's to fix.
  target_compile_options(${library} PRIVATE -w)
endforeach()

# find_package() calls elsewhere then find what is already here.
set(stubs ${CMAKE_BINARY_DIR}/package-stubs)
file(WRITE ${stubs}/CLI11Config.cmake [=[
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE "${CMAKE_BINARY_DIR}/host-headers")
endif()
]=])
file(WRITE ${stubs}/GTestConfig.cmake "# GoogleTest is built by cmake/WindowsBuild.cmake.\n")
set(CLI11_DIR ${stubs} CACHE PATH "" FORCE)
set(GTest_DIR ${stubs} CACHE PATH "" FORCE)

# Every test program runs under Wine (CMAKE_CROSSCOMPILING_EMULATOR) in a
# prefix of its own that the first test creates and the last one removes, so
# nothing of a developer's own Wine setup takes part. The locale gives Wine
# its ANSI code page (here 1252) and the encoding of file names on the disk.
set(QUARROW_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QUARROW_WINE_ENVIRONMENT_BASE "WINEPREFIX=${QUARROW_WINEPREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")
set(QUARROW_WINE_ENVIRONMENT ${QUARROW_WINE_ENVIRONMENT_BASE} "LC_ALL=en_US.UTF-8")
