# The validator's checks pass with the tap in the component's place: the tap passes every call
# through and keeps to the rules a component keeps, whatever the host does.
#   COMMAND TAP REAL WORK [EMULATOR]
include("${CMAKE_CURRENT_LIST_DIR}/tap_folder.cmake")
nelk_tap_folder("${WORK}" "${TAP}" "${REAL}")
# Every process the validator starts writes a trace of its own.
file(MAKE_DIRECTORY "${WORK}/traces")
file(WRITE "${tapped}.tap" "trace=traces/%p.trace.nelk\n")
execute_process(COMMAND ${EMULATOR} ${COMMAND} validate "${tapped}" --seed 1 --timeout 120
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 900)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the validator failed the tapped component (status ${status}):\n${output}")
endif()
file(GLOB traces "${WORK}/traces/*.trace.nelk")
list(LENGTH traces count)
if(count EQUAL 0)
    message(FATAL_ERROR "the validator passed, but no trace was written")
endif()
message(STATUS "${count} traces written; the validator passed:\n${output}")
