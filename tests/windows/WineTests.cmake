# Plumbing for Windows test programs. Cross-built, they run under Wine in a
# private prefix inside the build tree, through a wrapper that sets up that
# prefix on first use; built natively on Windows they run as they are.
#
#   vantrel_add_wine_test(<target> SOURCES <files...> [LIBRARIES <targets...>])
#       A GoogleTest executable, its tests discovered and registered with ctest.
#       It sees VANTREL_DLL_PATH (wide string, path of Vantrel.dll as the test
#       program must name it) and VANTREL_CORPUS_DIR (same, sample pictures).
#   VANTREL_WINE_RUN          runs a Windows program in the prefix (use it as
#                             the COMMAND of add_test; empty on Windows)
#   VANTREL_WINE_ENVIRONMENT  WINEPREFIX and friends, for the ENVIRONMENT test
#                             property of tests that call Wine tools directly
#   vantrel_windows_path(<var> <path>)  a build-host path as Windows programs see it
include_guard(GLOBAL)

set(VANTREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VANTREL_WINE_ENVIRONMENT
    "WINEPREFIX=${VANTREL_WINEPREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")

function(vantrel_windows_path var path)
    if(CMAKE_HOST_WIN32)
        set(${var} "${path}" PARENT_SCOPE)
    else()
        set(${var} "Z:${path}" PARENT_SCOPE)  # Wine's Z: drive is the host's root
    endif()
endfunction()

if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(VANTREL_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${VANTREL_WINE_RUN}
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE
                   @ONLY)
else()
    set(VANTREL_WINE_RUN "")
endif()

vantrel_windows_path(VANTREL_DLL_PATH_FOR_TESTS "$<TARGET_FILE:vantrel_dll>")
vantrel_windows_path(VANTREL_CORPUS_DIR_FOR_TESTS "${PROJECT_SOURCE_DIR}/../shared/corpus")

function(vantrel_add_wine_test target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;LIBRARIES")
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${target} PRIVATE
        VANTREL_DLL_PATH=L"${VANTREL_DLL_PATH_FOR_TESTS}"
        VANTREL_CORPUS_DIR=L"${VANTREL_CORPUS_DIR_FOR_TESTS}")
    if(MINGW)
        # No runtime DLLs to find next to the program under Wine.
        target_link_options(${target} PRIVATE -static)
    endif()
    add_dependencies(${target} vantrel_dll)
    if(VANTREL_WINE_RUN)
        set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR ${VANTREL_WINE_RUN})
    endif()
    # Discovered when ctest runs, so that building needs no Wine; the first run
    # may create the prefix, which takes a while.
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES ENVIRONMENT "${VANTREL_WINE_ENVIRONMENT}")
endfunction()
