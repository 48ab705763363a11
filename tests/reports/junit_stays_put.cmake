# run --junit with a relative path, in nelk-host's own process, with components that move the
# process to another folder and change its file mode mask: the report is where the user asked
# (the folder the run began in), holds the run, and was made with the user's mask.
#   COMMAND LIBRARIES (a list) SCENARIO WORK
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(library IN LISTS LIBRARIES)
    get_filename_component(name "${library}" NAME_WE)
    file(REMOVE "/tmp/${name}.junit.xml")
    execute_process(COMMAND sh -c "umask 022 && exec \"$0\" \"$@\"" ${COMMAND} --quiet --library ${library} run --in-process
            --junit ${name}.junit.xml ${SCENARIO}
        WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 60)
    if(EXISTS "/tmp/${name}.junit.xml")
        file(REMOVE "/tmp/${name}.junit.xml")
        message(FATAL_ERROR "${name}: the report followed the component to /tmp\n${output}")
    endif()
    if(NOT EXISTS "${WORK}/${name}.junit.xml")
        message(FATAL_ERROR "${name}: no report in the folder the run began in (status ${status})\n${output}")
    endif()
    file(READ "${WORK}/${name}.junit.xml" report)
    if(NOT report MATCHES "<testsuites tests=\"1\"")
        message(FATAL_ERROR "${name}: the report does not hold the run:\n${report}")
    endif()
    execute_process(COMMAND stat -c %a "${WORK}/${name}.junit.xml" OUTPUT_VARIABLE mode OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT mode STREQUAL "644")
        message(FATAL_ERROR "${name}: the report has mode ${mode}, not the 644 of the user's mask")
    endif()
    message(STATUS "${name}: the report stayed put, mode ${mode}")
endforeach()
