# A fault found twice is saved once: the fuzz test of a sequence-fault component runs twice on
# one findings folder; the second run names the finding saved by the first and writes no other.
#   RUNNER (NelkFuzzTest.cmake) PROGRAM NAME SEEDS WORK NELK_HOST
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(round 1 2)
    execute_process(COMMAND ${CMAKE_COMMAND} "-DPROGRAM=${PROGRAM}" "-DNAME=${NAME}" -DSECONDS=120 "-DSEEDS=${SEEDS}"
            "-DWORK=${WORK}" "-DNELK_HOST=${NELK_HOST}" -DEXPECT_FINDING=ON -P "${RUNNER}"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "round ${round} found nothing, or its finding did not replay:\n${output}")
    endif()
    set(output${round} "${output}")
endforeach()
file(GLOB saved "${WORK}/${NAME}-findings/*.nelk")
list(LENGTH saved count)
if(NOT count EQUAL 1 OR NOT output2 MATCHES "saved before" OR output1 MATCHES "saved before")
    message(FATAL_ERROR "expected one finding, saved by the first round and named by the second; the folder holds ${count}:\n"
                        "${saved}\nfirst round:\n${output1}\nsecond round:\n${output2}")
endif()
message(STATUS "one finding, saved once: ${saved}")
