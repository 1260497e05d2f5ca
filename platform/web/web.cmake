# The WebAssembly build (emscripten's toolchain; scripts/web.sh configures it).
#
# The libraries are the ones scripts/web-deps.sh built from Debian's source packages into
# WEB_DEPS_PREFIX; they are found the same way as the native ones, through their CMake
# modules and pkg-config files, so the subsystems link the same target names on both.

set(WEB_DEPS_PREFIX "" CACHE PATH "Prefix holding the libraries built for WebAssembly")
if(NOT WEB_DEPS_PREFIX OR NOT EXISTS "${WEB_DEPS_PREFIX}/lib/pkgconfig")
  message(FATAL_ERROR "WEB_DEPS_PREFIX must name the prefix scripts/web-deps.sh prints")
endif()

# Searched besides emscripten's own sysroot; nothing of the host's /usr is ever taken.
list(APPEND CMAKE_FIND_ROOT_PATH "${WEB_DEPS_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${WEB_DEPS_PREFIX}")
set(ENV{PKG_CONFIG_LIBDIR} "${WEB_DEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(KISSFFT REQUIRED IMPORTED_TARGET kissfft-float)

# wasm SIMD, with the x86 SSE2 intrinsics translated by emscripten's headers, so the SSE2
# forms of the hot loops run here too. No floating-point contraction: every float result
# must round exactly as on the other platforms.
# Float to int conversions that saturate instead of trapping (every browser with SIMD has
# them) keep the plain conversions in the hot loops one instruction.
add_compile_options(-msimd128 -msse2 -mnontrapping-fptoint -ffp-contract=off)

# The threaded page (scripts/web.sh builds it beside the single-threaded one): every object
# with -pthread, the libraries from a prefix built the same way (scripts/web-deps.sh threads).
option(DEMO_WEB_THREADS "The threaded page: -pthread, drawing threads in web workers" OFF)
if(DEMO_WEB_THREADS)
  add_compile_options(-pthread)
  add_link_options(-pthread)
endif()

# No debug information in what the page downloads (CMake also passes these at the link).
set(CMAKE_CXX_FLAGS_RELEASE "-O3 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O3 -DNDEBUG")
