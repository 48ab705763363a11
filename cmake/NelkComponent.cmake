# nelk_add_component(NAME SOURCES...): a loadable component library that links the framework
# statically, exports only load_nelk_client_script and carries no "lib" prefix on Windows.
# Kept globally, so that a project that pulls this tree in with add_subdirectory finds it too.
set_property(GLOBAL PROPERTY NELK_COMPONENT_EXPORTS_MAP "${CMAKE_CURRENT_LIST_DIR}/component_exports.map")

function(nelk_component_link_options target)
    get_property(exports GLOBAL PROPERTY NELK_COMPONENT_EXPORTS_MAP)
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(WIN32)
        set_target_properties(${target} PROPERTIES PREFIX "")
        if(MINGW)
            target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static)
        endif()
    elseif(NOT APPLE)
        target_link_options(${target} PRIVATE "LINKER:--version-script=${exports}")
        # Sanitizer runtimes live in the host executable, so instrumented components leave
        # their symbols undefined.
        if(NOT NELK_SANITIZE AND NOT NELK_BUILD_FUZZERS)
            target_link_options(${target} PRIVATE "LINKER:--no-undefined")
        endif()
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${exports}")
    endif()
endfunction()

function(nelk_add_component name)
    add_library(${name} MODULE ${ARGN})
    target_compile_features(${name} PRIVATE cxx_std_17)
    target_link_libraries(${name} PRIVATE nelk::nelk_script_helper)
    nelk_component_link_options(${name})
endfunction()
