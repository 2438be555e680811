# Cross-compiles the same x64 Windows binaries with Clang and lld: the mingw-w64 headers, import
# libraries and posix-thread libstdc++ of the GCC toolchain, whose settings (Wine as the emulator,
# windres, the search roots) this file takes over.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})

# Clang does not find the cross libstdc++ by itself: GCC's posix-thread variant, as the GCC build uses.
set(MINGW_GCC_DIR /usr/lib/gcc/${TOOLCHAIN_PREFIX}/12-posix)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    ${MINGW_GCC_DIR}/include/c++ ${MINGW_GCC_DIR}/include/c++/${TOOLCHAIN_PREFIX})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR} -lpthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR} -lpthread")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR} -lpthread")

# llvm-objdump does not print a DLL's export tables, which the tests of the DLLs read.
set(CMAKE_OBJDUMP /usr/bin/${TOOLCHAIN_PREFIX}-objdump)
