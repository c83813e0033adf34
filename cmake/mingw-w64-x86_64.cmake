# Cross-building for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::thread needs). Executables are linked statically, so they
# need nothing beyond what every Windows has; tests run under Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VESKAR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VESKAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VESKAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VESKAR_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot only; the build machine's
# programs (bash, wine) are still found.
set(CMAKE_FIND_ROOT_PATH /usr/${VESKAR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only in the sysroot: a Linux library found by mistake would
# link into nothing and fail late, or worse, its headers would be used.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${VESKAR_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} /usr/${VESKAR_MINGW_TRIPLE})

# No DLLs of the compiler's run-time to ship: libstdc++, libgcc and
# winpthreads go into each executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here run through Wine (WindowsBuild.cmake gives it a prefix
# of the build's own).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
