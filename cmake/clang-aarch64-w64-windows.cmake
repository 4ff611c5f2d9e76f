# Cross-builds the Windows front end for ARM64 (AArch64) on Debian with clang
# and lld. Debian has no C or C++ runtime for this target: the DLL needs none,
# and vantrel-setup.exe brings the little it uses (setup/arm64/). Import
# libraries are made at build time from the .def files beside their users.
# Nothing built here can run on this machine, so the tests are left out.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VANTREL_CLANG_TRIPLE aarch64-w64-windows-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_ASM_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${VANTREL_CLANG_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${VANTREL_CLANG_TRIPLE})
set(CMAKE_ASM_COMPILER_TARGET ${VANTREL_CLANG_TRIPLE})
find_program(CMAKE_RC_COMPILER NAMES llvm-rc llvm-rc-14 REQUIRED)
find_program(VANTREL_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)

# The mingw-w64 headers serve every Windows target. clang has no C++ library
# headers for this one; the mingw-w64 libstdc++ headers work, for the
# header-only parts the code uses.
set(VANTREL_MINGW_INCLUDE /usr/share/mingw-w64/include)
set(VANTREL_LIBSTDCXX_INCLUDE /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++)
string(JOIN " " VANTREL_TARGET_INCLUDES
    -isystem ${VANTREL_LIBSTDCXX_INCLUDE}
    -isystem ${VANTREL_LIBSTDCXX_INCLUDE}/x86_64-w64-mingw32
    -isystem ${VANTREL_MINGW_INCLUDE})
set(CMAKE_CXX_FLAGS_INIT "${VANTREL_TARGET_INCLUDES}")
set(CMAKE_C_FLAGS_INIT "-isystem ${VANTREL_MINGW_INCLUDE}")
set(CMAKE_RC_FLAGS_INIT "-I ${VANTREL_MINGW_INCLUDE}")
# No runtime to link against: every program names what it links.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
