# Cross-build for 32-bit Windows with MinGW-w64's posix-thread compilers.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-posix.cmake)
