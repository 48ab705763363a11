# What a component project uses, in this tree and from the installed nelk_script_helper package:
#   nelk_add_component(NAME SOURCES... [LAYOUTS FILES...])
#       a loadable component library that links the framework statically, exports only
#       load_nelk_client_script and carries no "lib" prefix on Windows; its layouts are copied
#       beside it at every build, and library and layouts install to <libdir>/nelk.
#   nelk_add_validator_test(TARGET [ARGS...])
#       a CTest test, TARGET.validate, that runs nelk-host validate on the library (ARGS are
#       validate's options, such as --iterations 5000).
#   nelk_add_scenario_test(NAME TARGET FILES...)
#       a CTest test that runs the scenario files with nelk-host, TARGET's library as the one
#       "load" uses; the files are relative to the calling folder.
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
    cmake_parse_arguments(PARSE_ARGV 1 nelk "" "" "LAYOUTS")
    if(NOT nelk_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "nelk_add_component(${name}): give the component's source files")
    endif()
    add_library(${name} MODULE ${nelk_UNPARSED_ARGUMENTS})
    target_compile_features(${name} PRIVATE cxx_std_17)
    target_link_libraries(${name} PRIVATE nelk::nelk_script_helper)
    nelk_component_link_options(${name})
    include(GNUInstallDirs)
    install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk)
    if(nelk_LAYOUTS)
        set(layouts "")
        foreach(layout IN LISTS nelk_LAYOUTS)
            get_filename_component(path "${layout}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
            if(NOT EXISTS "${path}")
                message(FATAL_ERROR "nelk_add_component(${name}): no layout ${path}")
            endif()
            list(APPEND layouts "${path}")
        endforeach()
        # The host reads a layout from the library's folder (the load text), so each build puts
        # the current ones there.
        set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${name}_layouts.stamp")
        add_custom_command(OUTPUT "${stamp}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "$<TARGET_FILE_DIR:${name}>"
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${layouts} "$<TARGET_FILE_DIR:${name}>"
            COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
            DEPENDS ${layouts}
            COMMENT "Copying the layouts of ${name} beside it"
            VERBATIM)
        # Built after the library (whose folder it needs), with every full build.
        add_custom_target(${name}_layouts ALL DEPENDS "${stamp}")
        install(FILES ${layouts} DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk)
    endif()
endfunction()

function(_nelk_require_host caller)
    if(NOT TARGET nelk::nelk-host)
        message(FATAL_ERROR "${caller} runs nelk-host, which this nelk_script_helper package was built without "
                            "(configure it with NELK_BUILD_TOOLS=ON)")
    endif()
endfunction()

function(nelk_add_validator_test target)
    _nelk_require_host(nelk_add_validator_test)
    add_test(NAME ${target}.validate COMMAND "$<TARGET_FILE:nelk::nelk-host>" validate "$<TARGET_FILE:${target}>" ${ARGN})
    set_tests_properties(${target}.validate PROPERTIES TIMEOUT 600)
endfunction()

function(nelk_add_scenario_test name target)
    _nelk_require_host(nelk_add_scenario_test)
    if(ARGC LESS 3)
        message(FATAL_ERROR "nelk_add_scenario_test(${name} ${target}): give the scenario files")
    endif()
    set(files "")
    foreach(file IN LISTS ARGN)
        get_filename_component(path "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND files "${path}")
    endforeach()
    add_test(NAME ${name} COMMAND "$<TARGET_FILE:nelk::nelk-host>" run --library "$<TARGET_FILE:${target}>" ${files})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
