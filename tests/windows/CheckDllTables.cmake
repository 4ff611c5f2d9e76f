# Checks the export and import tables of Vantrel.dll as objdump reports them:
# exactly the two COM server exports, and nothing imported beyond the kernel
# and GDI calls the module makes (no C or C++ runtime).
#   cmake -DOBJDUMP=<objdump> -DDLL=<Vantrel.dll> -P CheckDllTables.cmake
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REPLACE "\n" ";" lines "${dump}")

set(section "")
set(imports "")
set(exports "")
foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: (.+)$")
        set(section "${CMAKE_MATCH_1}")
        list(APPEND imports "${section}:")
    elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
        set(section "exports")
    elseif(line MATCHES "^The Function Table")
        set(section "")
    elseif(section STREQUAL "exports" AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] ([A-Za-z_][A-Za-z0-9_]*)$")
        list(APPEND exports "${CMAKE_MATCH_1}")
    elseif(NOT section STREQUAL "" AND NOT section STREQUAL "exports"
           AND line MATCHES "^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+([A-Za-z_][A-Za-z0-9_]*)$")
        list(APPEND imports "${CMAKE_MATCH_1}")
    endif()
endforeach()

set(expected_exports DllCanUnloadNow DllGetClassObject)
set(expected_imports
    GDI32.dll: CreateDIBSection
    KERNEL32.dll: CloseHandle CreateFileMappingW CreateFileW DisableThreadLibraryCalls GetFileSizeEx
    GetProcessHeap HeapAlloc HeapFree MapViewOfFile UnmapViewOfFile)

if(NOT exports STREQUAL expected_exports)
    message(FATAL_ERROR "exports are [${exports}], expected [${expected_exports}]")
endif()
if(NOT imports STREQUAL expected_imports)
    message(FATAL_ERROR "imports are [${imports}], expected [${expected_imports}]")
endif()
message(STATUS "exports: ${exports}")
message(STATUS "imports: ${imports}")
