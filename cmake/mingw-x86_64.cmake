# Windows x86_64: the build that runs the Windows tests under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUIL_MINGW_TRIPLE x86_64-w64-mingw32)
# The -posix compilers: GCC 12's -win32 ones have no std::mutex, which
# GoogleTest needs.
set(CMAKE_C_COMPILER ${QUIL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUIL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUIL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUIL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# ctest runs the test executables through this.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
