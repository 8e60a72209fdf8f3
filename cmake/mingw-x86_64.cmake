# Windows x86_64: the build that runs the Windows tests under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUIL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# ctest runs the test executables through this.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
