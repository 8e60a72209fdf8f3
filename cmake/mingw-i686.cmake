# Windows i686: the release build. This machine cannot run 32-bit code, so
# its tests are built but not run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUIL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
