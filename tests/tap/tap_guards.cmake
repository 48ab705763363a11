# What the tap says when it cannot work, on standard error, and that it never hangs the host: a
# configuration that names the tap itself as the real library, and a trace it cannot write (the
# components still run).
#   COMMAND TAP REAL LAYOUT SCENARIO WORK [EMULATOR]
include("${CMAKE_CURRENT_LIST_DIR}/tap_folder.cmake")
nelk_tap_folder("${WORK}" "${TAP}" "${REAL}" "${LAYOUT}")
get_filename_component(tapName "${tapped}" NAME)

file(WRITE "${tapped}.tap" "library=${tapName}\n")
execute_process(COMMAND ${EMULATOR} ${COMMAND} --quiet --no-colour --library "${tapped}" run "${SCENARIO}"
    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 60)
if(status EQUAL 0 OR NOT output MATCHES "nelk_tap: the real library [^\n]* is the tap itself")
    message(FATAL_ERROR "the tap named as its own real library: status ${status}\n${output}")
endif()
message(STATUS "the tap refuses to stand in for itself:\n${output}")

file(WRITE "${tapped}.tap" "trace=no/such/folder/trace.nelk\n")
execute_process(COMMAND ${EMULATOR} ${COMMAND} --quiet --no-colour --library "${tapped}" run "${SCENARIO}"
    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 60)
if(NOT status EQUAL 0 OR NOT output MATCHES "nelk_tap: cannot write the trace [^\n]*trace.nelk: [^\n]*; the components run, but nothing is recorded")
    message(FATAL_ERROR "a trace the tap cannot write: status ${status}\n${output}")
endif()
message(STATUS "the tap says it records nothing, and the session runs:\n${output}")
