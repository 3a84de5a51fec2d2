# Cross-building the Windows program (64-bit) with Debian's mingw-w64 compilers, the POSIX-thread
# variant (std::thread needs it), against Debian's mingw-w64 zlib:
#   cmake -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNVICK_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNVICK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNVICK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNVICK_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNVICK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One program file that runs on a Windows machine with nothing else installed: the C++ runtime,
# the thread library and zlib linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)
