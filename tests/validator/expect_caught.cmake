# Runs every check on a broken component; the check meant for it must report STATUS, the run
# must exit 1 and print how to reproduce it.
set(selection "")
if(ONLY)
    string(REPLACE "," ";" ids "${ONLY}")
    set(selection --only ${ids})
endif()
execute_process(COMMAND ${COMMAND} validate ${LIBRARY} --seed 7 --timeout 2 ${selection}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1\n${output}")
endif()
if(NOT output MATCHES "${STATUS} +${CHECK} [^\n]*\n +reproduce: [^\n]*--only ${CHECK} --seed 7")
    message(FATAL_ERROR "${CHECK} did not report ${STATUS} with a reproduce command:\n${output}")
endif()
message(STATUS "caught:\n${output}")
