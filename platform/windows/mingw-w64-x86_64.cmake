# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads variant,
# which std::thread needs). Used by scripts/windows.sh and scripts/windows-deps.sh.
#
# The libraries are looked up only in the mingw-w64 system folder and in DEMO_WIN_DEPS (the
# cross-built SDL2, libpng, mpg123, kissfft, GoogleTest and CLI11's headers).
# Tests run under Wine (CMAKE_CROSSCOMPILING_EMULATOR, through tests/windows/wine-test.sh;
# WINEPREFIX and WINEDEBUG come from the environment).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The cross-built libraries: one install prefix each, as scripts/windows-deps.sh prints them.
set(DEMO_WIN_DEPS "" CACHE STRING "Install prefixes of the cross-built libraries")
list(APPEND CMAKE_FIND_ROOT_PATH ${DEMO_WIN_DEPS} /usr/x86_64-w64-mingw32)
# pkg-config reads only their .pc files, never the build machine's. (Not in the projects of
# try_compile, which read this file again without DEMO_WIN_DEPS.)
if(DEMO_WIN_DEPS)
  set(_pc_dirs)
  foreach(_prefix ${DEMO_WIN_DEPS} /usr/x86_64-w64-mingw32)
    list(APPEND _pc_dirs ${_prefix}/lib/pkgconfig)
  endforeach()
  string(REPLACE ";" ":" _pc_dirs "${_pc_dirs}")
  set(ENV{PKG_CONFIG_LIBDIR} "${_pc_dirs}")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
# Static zlib (Debian's mingw-w64 package has both).
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C and C++ runtimes and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(DEMO_WINE wine)
if(DEMO_WINE)
  # Through a small wrapper that runs a program again only when Wine failed to start it.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/../../tests/windows/wine-test.sh ${DEMO_WINE})
endif()
