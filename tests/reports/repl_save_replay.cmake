# A REPL session fed on standard input and ended with "save FILE" replays green with run; the
# same file on a changed component fails with the line that differs.
#   HOST  nelk-host    LIBRARY  the library of the session    OTHER  another component library
#   WORK  a scratch folder
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(saved "${WORK}/session.nelk")
file(WRITE "${WORK}/typed.txt" "load A\ncommand A \"Title=Studio B\"\ncontrol A ActionAll \"alarm=1\"\nslot 3 1 \"on air\"\n\
command A \"return=all\"\nload B\ncontrol B AckAll ack\nsave ${saved}\nquit\n")
execute_process(COMMAND ${HOST} --no-colour --library ${LIBRARY} repl INPUT_FILE "${WORK}/typed.txt"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "saved the session to")
    message(FATAL_ERROR "the session did not save (status ${status}):\n${output}")
endif()
file(READ "${saved}" scenario)
foreach(wanted "command A \"Title=Studio B\"" "expect A \"TP 'text=Studio B' '1' 'title'\"" "check A title text \"Studio B\""
               "command A return=all -> \"Title=Studio B\"" "control B AckAll ack")
    string(FIND "${scenario}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the saved session lacks ${wanted}:\n${scenario}")
    endif()
endforeach()

# Replayed from another folder: the paths in it do not depend on where it runs.
execute_process(COMMAND ${HOST} --quiet --no-colour run "${saved}" WORKING_DIRECTORY /
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the saved session does not replay (status ${status}):\n${output}\n${scenario}")
endif()

# The same session on another component: the first difference, with what was expected and sent.
string(REPLACE "${LIBRARY}" "${OTHER}" changed "${scenario}")
file(WRITE "${WORK}/changed.nelk" "${changed}")
execute_process(COMMAND ${HOST} --quiet --no-colour run "${WORK}/changed.nelk"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 1 OR NOT output MATCHES "changed.nelk:[0-9]+: error: expected A to send \"PS '1' '[^']*alarm_panel.nelk_ui'\", but it sent")
    message(FATAL_ERROR "the changed component did not fail with the difference (status ${status}):\n${output}")
endif()
message(STATUS "saved, replayed, and failed on the changed component:\n${output}")
