# mingw-w64 GCC on the win32 thread model: the toolchain of the extension that ships. Its runtime
# brings nothing into the shell's process but the extension's own code (no process-wide exception
# handler, no thread-control imports).
set(MINGW_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
