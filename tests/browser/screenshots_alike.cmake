# nelk-host serve --screenshot of the demo, three times: each run writes its picture and exits 0,
# and the three are the same bytes (the page's still view shows the session as it is, whatever
# the browser's timing).
#   COMMAND LIBRARY WORK
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(first "")
foreach(run 1 2 3)
    execute_process(COMMAND ${COMMAND} --quiet --library ${LIBRARY} serve --port 0 --screenshot "${WORK}/demo-${run}.png"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 90)
    if(NOT status EQUAL 0 OR NOT EXISTS "${WORK}/demo-${run}.png")
        message(FATAL_ERROR "run ${run}: status ${status}, no picture:\n${output}")
    endif()
    file(SHA256 "${WORK}/demo-${run}.png" digest)
    if(run EQUAL 1)
        set(first "${digest}")
    elseif(NOT digest STREQUAL first)
        message(FATAL_ERROR "the picture of run ${run} differs from the first (${WORK})")
    endif()
endforeach()
message(STATUS "three pictures alike: ${first}")
