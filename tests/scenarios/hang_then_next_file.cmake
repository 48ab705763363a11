# A file whose component hangs fails at its statement after --timeout; the next file still runs
# and passes, and the JUnit report holds both.
#   COMMAND LIBRARY FAILING (the folder of the files) WORK [EMULATOR]
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(report "${WORK}/run.xml")
string(TIMESTAMP started "%s")
execute_process(COMMAND ${EMULATOR} ${COMMAND} --quiet --no-colour --library ${LIBRARY} run --timeout 0.5 --junit ${report}
        ${FAILING}/component_hangs.nelk ${FAILING}/after_a_hang.nelk
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 60)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1\n${output}")
endif()
if(NOT output MATCHES "component_hangs.nelk:3: error: the component hung in `timer A 1`: no result after 0.5 s; the last event delivered was kind 4 timer 1 to A; the run goes on with the next file")
    message(FATAL_ERROR "no word of the hang at its statement:\n${output}")
endif()
if(output MATCHES "after_a_hang.nelk" OR output MATCHES "never reached")
    message(FATAL_ERROR "the next file failed, or the hung one went on:\n${output}")
endif()
file(READ "${report}" xml)
if(NOT xml MATCHES "<testsuites tests=\"2\" failures=\"0\" errors=\"1\">" OR NOT xml MATCHES "after_a_hang.nelk\" classname=\"scenario\"")
    message(FATAL_ERROR "the report does not hold both files:\n${xml}")
endif()
message(STATUS "the hang failed its file, and the run went on:\n${output}")
