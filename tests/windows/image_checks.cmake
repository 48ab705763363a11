# The image checks of nelk-host validate on DLLs built in this tree, each refused for its own
# reason or passed, read from the files alone.
#   COMMAND (the nelk-host to run, a list) BIN (the DLLs' folder) PROCESSOR NATIVE (ON: the build
#   machine's nelk-host, which also reads the calling convention)
set(cases
    # DLL                      checks                                           status  what the output holds
    "Corvane|image-machine,image-exports,image-imports,vtable-layout|0|4 passed, 0 failed"
    "AlarmPanel|vtable-layout|0|PASS +vtable-layout .*vtable for AlarmPanel"
    "nelk_tap|vtable-layout|0|PASS +vtable-layout .*tap_component.*tap_host"
    "visual_cpp_component|vtable-layout,image-imports|0|PASS +vtable-layout .*echo_component"
    "interface_contract|image-exports,vtable-layout|0|2 passed, 0 failed"
    "interface_gxx_layout|vtable-layout|1|g\\+\\+'s own layout in vtable for [(]anonymous namespace[)]::label_component: slots 0 and 1 hold its two destructors and .*callback[(]void[*], int[)] is in slot 2"
    "interface_second_export|image-exports|1|exports 1 names besides load_nelk_client_script [(]nelk_component_version[)]"
    "interface_shared_runtime|image-imports|1|needs libstdc\\+\\+-6.dll at run time, mingw-w64's runtime"
    "../bin/nelk-host.exe|image-machine|1|is a Windows program, not a DLL")
if(NATIVE AND PROCESSOR MATCHES "^i.86$")
    list(APPEND cases "interface_cdecl|vtable-layout|1|callback[(]void[*], int[)], returns popping 0 bytes, not 8: it is not thiscall")
endif()
set(failures 0)
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 dll)
    list(GET fields 1 checks)
    list(GET fields 2 expected)
    list(GET fields 3 pattern)
    set(file "${BIN}/${dll}")
    if(NOT dll MATCHES "[.]exe$")
        set(file "${file}.dll")
    endif()
    execute_process(COMMAND ${COMMAND} --no-colour validate "${file}" --only ${checks} --seed 1
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 120)
    if(NOT status EQUAL expected OR NOT output MATCHES "${pattern}")
        message(SEND_ERROR "${dll} (${checks}): status ${status}, expected ${expected} and \"${pattern}\" in:\n${output}")
        math(EXPR failures "${failures} + 1")
    else()
        message(STATUS "ok   ${dll}: ${checks}")
    endif()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} cases did not hold")
endif()
