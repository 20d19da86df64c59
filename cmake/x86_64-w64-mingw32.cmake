# Cross build for 64-bit Windows with MinGW-w64: the same sources, run by
# 64-bit Wine where a machine cannot execute 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
