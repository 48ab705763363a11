# A REPL session fed on standard input and ended with "save FILE" replays green with run, from
# any folder and from a copy of its project elsewhere (the library path is written relative to
# the file, the load text as ${load-text}); the same file on a changed component fails with the
# line that differs.
#   HOST  nelk-host    LIBRARY  the library of the session    OTHER  another component library
#   WORK  a scratch folder
file(REMOVE_RECURSE "${WORK}")
# A project as an author has it: the built library (with its layout) and a scenarios folder.
set(project "${WORK}/project")
get_filename_component(built "${LIBRARY}" DIRECTORY)
get_filename_component(library_name "${LIBRARY}" NAME)
file(MAKE_DIRECTORY "${project}/build" "${project}/scenarios")
file(COPY "${LIBRARY}" "${built}/alarm_panel.nelk_ui" DESTINATION "${project}/build")
file(GLOB string_library "${built}/libnelk_string.so*")
file(COPY ${string_library} DESTINATION "${project}/build")
set(saved "${project}/scenarios/session.nelk")
file(WRITE "${WORK}/typed.txt" "load A\ncommand A \"Title=Studio B\"\ncontrol A ActionAll \"alarm=1\"\nslot 3 1 \"on air\"\n\
command A \"return=all\"\nload B\ncontrol B AckAll ack\nsave ${saved}\nquit\n")
execute_process(COMMAND ${HOST} --no-colour --library "${project}/build/${library_name}" repl INPUT_FILE "${WORK}/typed.txt"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "saved the session to")
    message(FATAL_ERROR "the session did not save (status ${status}):\n${output}")
endif()
file(READ "${saved}" scenario)
foreach(wanted "library ../build/${library_name}" "command A \"Title=Studio B\"" "expect A \"TP 'text=Studio B' '1' 'title'\""
               "\"PS '1' '\${load-text}/alarm_panel.nelk_ui'\"" "check A title text \"Studio B\""
               "command A return=all -> \"Title=Studio B\"" "control B AckAll ack")
    string(FIND "${scenario}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the saved session lacks ${wanted}:\n${scenario}")
    endif()
endforeach()

# Replayed from another folder, and from a copy of the project elsewhere.
file(COPY "${project}/" DESTINATION "${WORK}/elsewhere/copy")
foreach(file "${saved}" "${WORK}/elsewhere/copy/scenarios/session.nelk")
    execute_process(COMMAND ${HOST} --quiet --no-colour run "${file}" WORKING_DIRECTORY /
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${file} does not replay (status ${status}):\n${output}\n${scenario}")
    endif()
endforeach()

# The same session on another component: the first difference, with what was expected and sent.
string(REPLACE "library ../build/${library_name}" "library ${OTHER}" changed "${scenario}")
file(WRITE "${project}/scenarios/changed.nelk" "${changed}")
execute_process(COMMAND ${HOST} --quiet --no-colour run "${project}/scenarios/changed.nelk"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 1 OR NOT output MATCHES "changed.nelk:[0-9]+: error: expected A to send \"PS '1' '\\$\\{load-text\\}/alarm_panel.nelk_ui'\", but it sent")
    message(FATAL_ERROR "the changed component did not fail with the difference (status ${status}):\n${output}")
endif()
message(STATUS "saved, replayed from elsewhere and from a copy, and failed on the changed component:\n${output}")
