# --json prints one valid JSON document even when the component writes to standard output; the
# failed check carries that output.
execute_process(COMMAND ${EMULATOR} ${COMMAND} --json validate ${LIBRARY} --seed 7 --only library-load
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1\n${output}${errors}")
endif()
string(JSON check GET "${output}" libraries 0 checks 0)
string(JSON verdict GET "${check}" status)
string(JSON written GET "${check}" output)
if(NOT verdict STREQUAL "FAIL" OR NOT written MATCHES "broken component 1.0 loaded")
    message(FATAL_ERROR "the report does not carry the verdict and the output:\n${output}")
endif()
