# Cross-builds the portable library and its test suites for AArch64 Linux with
# Debian's g++-aarch64-linux-gnu; ctest runs the test programs under Debian's
# qemu-user, with the target's libraries from /usr/aarch64-linux-gnu. The front
# ends that need libraries built for the target (libpng, pixman, ffmpeg) are
# left out (VANTREL_PORTABLE_ONLY).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VANTREL_AARCH64_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VANTREL_AARCH64_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VANTREL_AARCH64_TRIPLE}-g++)

set(VANTREL_AARCH64_SYSROOT /usr/${VANTREL_AARCH64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${VANTREL_AARCH64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64;-L;${VANTREL_AARCH64_SYSROOT})
endif()
