# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the POSIX-thread
# variant, which has std::thread and std::mutex). Libraries are searched only
# among the target's: the MinGW-w64 root and the third-party prefix that
# scripts/build-windows.sh fills (LUMIVEX_THIRD_PARTY).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${LUMIVEX_THIRD_PARTY})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# MinGW-w64 offers the thread-safe time functions of POSIX (gmtime_r) that
# the programs use on Linux when asked for them.
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS=200112L")

# Everything static, the C and C++ runtimes and winpthread included, so the
# programs run without MinGW's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# Tests and test discovery run each program through Wine, in the build
# tree's own Wine prefix (scripts/test.sh makes it), without Wine's chatter.
find_program(LUMIVEX_WINE wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LUMIVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all ${LUMIVEX_WINE})
endif()
