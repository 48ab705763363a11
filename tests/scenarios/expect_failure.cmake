# Runs a scenario that must fail: checks the exit status and the message.
execute_process(COMMAND ${EMULATOR} ${COMMAND} --quiet --no-colour --library ${LIBRARY} run ${SCENARIO}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL STATUS)
    message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${output}")
endif()
if(NOT output MATCHES "${PATTERN}")
    message(FATAL_ERROR "the message does not match \"${PATTERN}\":\n${output}")
endif()
message(STATUS "failed as it must:\n${output}")
