# Runs the validator on a broken component; the check meant for it must report STATUS with a
# reason matching REASON, the run must exit 1 and print how to reproduce it.
#   COMMAND LIBRARY CHECK STATUS [REASON] [ONLY: ids, comma-separated] [OPTIONS: extra options, ;-separated]
#   [EMULATOR: what runs the program in a cross build] [FOCUS: ON runs only CHECK when ONLY is not given]
set(selection "")
if(ONLY)
    set(selection --only ${ONLY})
elseif(FOCUS)
    set(selection --only ${CHECK})
endif()
execute_process(COMMAND ${EMULATOR} ${COMMAND} validate ${LIBRARY} --seed 7 --timeout 2 ${selection} ${OPTIONS}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1\n${output}")
endif()
if(NOT output MATCHES "${STATUS} +${CHECK} +[^\n]*${REASON}[^\n]*\n +reproduce: [^\n]*--only ${CHECK} --seed 7")
    message(FATAL_ERROR "${CHECK} did not report ${STATUS} (${REASON}) with a reproduce command:\n${output}")
endif()
if(NOT output MATCHES "[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped, [0-9]+ warnings")
    message(FATAL_ERROR "no summary line:\n${output}")
endif()
message(STATUS "caught:\n${output}")
