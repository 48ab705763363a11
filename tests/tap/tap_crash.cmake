# A component that crashes under the tap: the trace holds everything up to the call it crashed in.
#   COMMAND TAP REAL SCENARIO WORK [EMULATOR]
include("${CMAKE_CURRENT_LIST_DIR}/tap_folder.cmake")
nelk_tap_folder("${WORK}" "${TAP}" "${REAL}")
execute_process(COMMAND ${EMULATOR} ${COMMAND} --quiet --no-colour --library "${tapped}" run "${SCENARIO}"
    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 60)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1\n${output}")
endif()
file(READ "${tapped}.trace.nelk" trace)
if(NOT trace MATCHES "\nload T1 default \"\"\n(expect T1 [^\n]*\n)?# [0-9]+ ms > notify T1 12 7 null\n$")
    message(FATAL_ERROR "the trace does not end at the call that crashed:\n${trace}")
endif()
message(STATUS "the trace holds the session up to the crash:\n${trace}")
