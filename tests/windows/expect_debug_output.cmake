# Runs the probe under wine with the debug-string channel on, and finds the exact trace in it.
# Wine shows the text with its quotes escaped; the backslashes are taken out before comparing.
set(ENV{WINEDEBUG} "+debugstr")
execute_process(COMMAND ${EMULATOR} ${PROBE} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the probe failed (${status}):\n${output}")
endif()
set(trace [=[OutputDebugStringA "textGet: value returned "Value" was not the value requested "value" (value returned was "Value=1" from control "alm_1", on panel "1")"]=])
string(REPLACE "\\" "" plain "${output}")
string(FIND "${plain}" "${trace}" found)
if(found EQUAL -1)
    message(FATAL_ERROR "no OutputDebugStringA call with the trace in:\n${output}")
endif()
message(STATUS "OutputDebugStringA received the trace")
