# A CMake toolchain file for 64-bit Windows with Debian's mingw-w64 compilers in their posix thread
# model, which std::thread and std::mutex need. scripts/windows-toolchain builds Qt with it, and the
# program is configured with it in the Debian 13 root (scripts/in-debian13) where that toolchain is
# mounted at LARVENTA_WINDOWS_PREFIX:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=packaging/windows/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LARVENTA_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LARVENTA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LARVENTA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${LARVENTA_MINGW}-windres)

# Where scripts/windows-toolchain's Qt, Qt Serial Port, libsndfile and EDFlib are seen.
set(LARVENTA_WINDOWS_PREFIX /opt/larventa-windows CACHE PATH "The Windows toolchain's prefix")
# Kept for the try_compile projects that CMake configures with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LARVENTA_WINDOWS_PREFIX)

# Headers, libraries and CMake packages for Windows come from mingw-w64 and the prefix alone;
# programs run during the build (moc, rcc, uic) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${LARVENTA_MINGW} ${LARVENTA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's host tools of the same version, from Debian 13's qt6-base-dev-tools.
set(QT_HOST_PATH /usr CACHE PATH "Where Qt's host tools are")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Where their CMake packages are")

# pkg-config (for FFTW3) reads the prefix's .pc files alone, never the build machine's. Qt's own
# build runs before the prefix has any, and keeps pkg-config off as it does for every cross build.
if(EXISTS ${LARVENTA_WINDOWS_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_LIBDIR} ${LARVENTA_WINDOWS_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
endif()
