# Cross-compiles the Win32 build of Taskwell, the product, with the mingw-w64 i686 toolchain.
set(TASKWELL_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
