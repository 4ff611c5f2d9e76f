# Import libraries made at build time from .def files that list the functions
# a program calls, for targets where no system import libraries are at hand
# (ARM64 Windows on Debian).
#   vantrel_link_def_imports(<target> <file.def>...)
include_guard(GLOBAL)
function(vantrel_link_def_imports target)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}-imports)
    foreach(def IN LISTS ARGN)
        get_filename_component(name ${def} NAME_WE)
        get_filename_component(def ${def} ABSOLUTE)
        set(library ${folder}/lib${name}.a)
        add_custom_command(OUTPUT ${library}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
            COMMAND ${VANTREL_DLLTOOL} -m arm64 -d ${def} -l ${library}
            DEPENDS ${def}
            COMMENT "Import library ${name} for ${target}")
        list(APPEND libraries ${library})
    endforeach()
    add_custom_target(${target}_imports DEPENDS ${libraries})
    add_dependencies(${target} ${target}_imports)
    target_link_libraries(${target} PRIVATE ${libraries})
endfunction()
