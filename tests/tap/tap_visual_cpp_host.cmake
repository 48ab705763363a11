# The tap in a host built as Visual C++ builds it: in the place of Corvane.dll and of
# AlarmPanel.dll, the host's every step holds as it does without the tap, and nelk-host.exe
# replays both traces, the host's own answers to "TG" and "XI" included.
#   HOST COMMAND TAP CORVANE ALARM_PANEL WORK [EMULATOR]
include("${CMAKE_CURRENT_LIST_DIR}/tap_folder.cmake")
nelk_tap_folder("${WORK}/corvane" "${TAP}" "${CORVANE}")
set(corvane "${tapped}")
nelk_tap_folder("${WORK}/alarm_panel" "${TAP}" "${ALARM_PANEL}")
set(alarmPanel "${tapped}")
execute_process(COMMAND ${EMULATOR} "${HOST}" "${corvane}" "${alarmPanel}" WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 120)
if(NOT status EQUAL 0 OR NOT output MATCHES "every step held")
    message(FATAL_ERROR "the host's steps did not hold through the tap (status ${status}):\n${output}")
endif()
foreach(trace "${corvane}.trace.nelk" "${alarmPanel}.trace.nelk")
    file(READ "${trace}" text)
    execute_process(COMMAND ${EMULATOR} ${COMMAND} --no-colour run "${trace}" WORKING_DIRECTORY "${WORK}"
        RESULT_VARIABLE status OUTPUT_VARIABLE replay ERROR_VARIABLE replay TIMEOUT 120)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "the trace does not replay (status ${status}):\n${replay}\n-- trace:\n${text}")
    endif()
    if(trace MATCHES "alarm_panel" AND NOT text MATCHES "answer T1 \"TG '1' 'alm_1' 'value'\" value=1\n")
        message(FATAL_ERROR "the host's answer to \"TG\" is not in the trace:\n${text}")
    endif()
endforeach()
message(STATUS "the host's steps held through the tap, and both traces replay")
