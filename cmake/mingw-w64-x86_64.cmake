# Cross-builds the Windows front end (Vantrel.dll and its tests) on Debian with
# mingw-w64. The posix-threads compiler is needed by GoogleTest; the DLL itself
# links no runtime at all. Tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTREL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${VANTREL_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${VANTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(VANTREL_WINE_PROGRAM NAMES wine wine64)
    if(VANTREL_WINE_PROGRAM)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTREL_WINE_PROGRAM})
    endif()
endif()
