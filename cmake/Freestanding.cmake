# Code that goes into the DLL links no C or C++ runtime: no exceptions, no RTTI,
# and no library calls that the compiler would invent for copy or fill loops.
include_guard(GLOBAL)
function(vantrel_freestanding target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /GR- /GS-)
    else()
        target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
        if(WIN32)
            target_compile_options(${target} PRIVATE -ffreestanding -fno-stack-protector
                                                     -fno-tree-loop-distribute-patterns)
        endif()
    endif()
endfunction()
