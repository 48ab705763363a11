# Runs a scenario that must fail: checks the exit status and the message.
#   COMMAND LIBRARY SCENARIO STATUS (a number, or "signal") PATTERN [ABSENT] [OPTIONS] [EMULATOR]
# ABSENT: a pattern the output must not hold. OPTIONS: run's (a list).
execute_process(COMMAND ${EMULATOR} ${COMMAND} --quiet --no-colour --library ${LIBRARY} run ${OPTIONS} ${SCENARIO}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(STATUS STREQUAL "signal")
    # A crash ends the run by its signal, after the message.
    if(status MATCHES "^[0-9]+$")
        message(FATAL_ERROR "exit status ${status}, expected the end by a signal\n${output}")
    endif()
elseif(NOT status EQUAL STATUS)
    message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${output}")
endif()
if(NOT output MATCHES "${PATTERN}")
    message(FATAL_ERROR "the message does not match \"${PATTERN}\":\n${output}")
endif()
if(ABSENT AND output MATCHES "${ABSENT}")
    message(FATAL_ERROR "the output holds \"${ABSENT}\", which it must not:\n${output}")
endif()
if(output MATCHES "never reached")
    message(FATAL_ERROR "the run went on after the process should have ended:\n${output}")
endif()
message(STATUS "failed as it must:\n${output}")
