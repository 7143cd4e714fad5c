# Cross-build for 64-bit Windows with MinGW-w64's posix-thread compilers: the
# programs of cmake/x86_64, which the main (32-bit) build builds as a project
# of its own.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-posix.cmake)
