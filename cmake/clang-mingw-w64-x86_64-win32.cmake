# Clang on the win32 thread model's runtime: the Clang build's extension, as the GCC build's ships.
set(MINGW_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64-x86_64.cmake)
