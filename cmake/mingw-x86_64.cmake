# Cross-compiles the 64-bit Windows test build of Taskwell with the mingw-w64 x86_64 toolchain.
# It runs the Wine tests on hosts that cannot run 32-bit programs; the product stays 32-bit.
set(TASKWELL_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
