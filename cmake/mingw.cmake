# Cross-compiling for Windows with MinGW-w64: 32-bit (i686, the product) by default,
# KELMO_ARCH=x86_64 for the 64-bit build of the same sources.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT KELMO_ARCH)
  set(KELMO_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${KELMO_ARCH})
set(TOOLCHAIN_PREFIX ${KELMO_ARCH}-w64-mingw32)
# The product uses the win32 thread model (no thread library to ship). GoogleTest needs
# std::mutex, so the Wine-side test program is built with the posix variant (KELMO_THREADS=posix).
if(KELMO_THREADS STREQUAL "posix")
  set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
  set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
else()
  set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc)
  set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++)
endif()
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
