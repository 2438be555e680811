# Cross-compiles the same x64 Windows binaries with Clang and lld: the mingw-w64 headers, import
# libraries and libstdc++ of the GCC toolchain, on the same thread model (MINGW_THREAD_MODEL), whose
# settings (Wine as the emulator, windres, the search roots) this file takes over.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})

# Clang does not find the cross libstdc++ by itself: GCC's variant of the same thread model.
set(MINGW_GCC_DIR /usr/lib/gcc/${TOOLCHAIN_PREFIX}/12-${MINGW_THREAD_MODEL})
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    ${MINGW_GCC_DIR}/include/c++ ${MINGW_GCC_DIR}/include/c++/${TOOLCHAIN_PREFIX})
set(MINGW_LINKER_FLAGS "-fuse-ld=lld -L${MINGW_GCC_DIR}")
if(MINGW_THREAD_MODEL STREQUAL "posix")
    string(APPEND MINGW_LINKER_FLAGS " -lpthread")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${MINGW_LINKER_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${MINGW_LINKER_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${MINGW_LINKER_FLAGS}")

# llvm-objdump does not print a DLL's export tables, which the tests of the DLLs read.
set(CMAKE_OBJDUMP /usr/bin/${TOOLCHAIN_PREFIX}-objdump)
