# A trace travels, and the drift report reads it. The tap records a scenario of the countdown
# (a layout with a timer) run by nelk-host in WORK/recorded; that folder is copied elsewhere
# and removed, and the trace replays there green under --strict (its load text and layout paths
# are written as the library's folder, ${load-text}). Its drift report lists no difference, since
# the host that made it is nelk-host's model itself; with an answer, a slot event and a timer tick
# planted, the report lists each of them and exits 1.
#   COMMAND TAP REAL LAYOUT SCENARIO WORK [EMULATOR]
include("${CMAKE_CURRENT_LIST_DIR}/tap_folder.cmake")
nelk_tap_folder("${WORK}/recorded" "${TAP}" "${REAL}" "${LAYOUT}")
get_filename_component(tappedName "${tapped}" NAME)
get_filename_component(bareName "${bare}" NAME)

function(run_host out status where)
    execute_process(COMMAND ${EMULATOR} ${COMMAND} --no-colour ${ARGN} WORKING_DIRECTORY "${where}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 120)
    set(${out} "${output}" PARENT_SCOPE)
    set(${status} "${result}" PARENT_SCOPE)
endfunction()

run_host(output status "${WORK}/recorded" --quiet --library "${tapped}" run --strict "${SCENARIO}")
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the scenario fails through the tap (status ${status}):\n${output}")
endif()
file(READ "${tapped}.trace.nelk" trace)
file(STRINGS "${tapped}.trace.nelk" statements REGEX "^[^#]")
foreach(statement IN LISTS statements)
    if(statement MATCHES "${WORK}/recorded")
        message(FATAL_ERROR "a statement of the trace names the folder it was recorded in: ${statement}")
    endif()
endforeach()

# Moved: the real library, its layout and the trace in another folder; the first one gone.
file(REMOVE_RECURSE "${WORK}/moved")
file(MAKE_DIRECTORY "${WORK}/moved")
file(COPY "${bare}" "${WORK}/recorded/${LAYOUT_NAME}" DESTINATION "${WORK}/moved")
file(WRITE "${WORK}/moved/session.trace.nelk" "${trace}")
file(REMOVE_RECURSE "${WORK}/recorded")
run_host(output status "${WORK}/moved" --quiet run --strict session.trace.nelk)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the moved trace does not replay green (status ${status}):\n${output}\n-- trace:\n${trace}")
endif()

run_host(output status "${WORK}/moved" run --drift session.trace.nelk)
if(NOT status EQUAL 0 OR NOT output MATCHES "no difference between the host that made it and nelk-host's model")
    message(FATAL_ERROR "the drift report of a trace nelk-host made finds differences (status ${status}):\n${output}")
endif()

# Planted: the first "PS" answered with 0, a slot event for a slot nothing registered, and one
# timer tick more after the timer was stopped.
string(REGEX REPLACE "(answer T1 \"PS [^\n]*\") 1\n" "\\1 0\n" planted "${trace}")
string(REPLACE "expect T1 \"TP 'text=0' '1' 'remaining'\" \"ET 1\"\n" "expect T1 \"TP 'text=0' '1' 'remaining'\" \"ET 1\"\nnotify T1 40 3 planted\ntimer T1 1\n" planted "${planted}")
file(WRITE "${WORK}/moved/planted.trace.nelk" "${planted}")
run_host(output status "${WORK}/moved" run --drift planted.trace.nelk)
foreach(expected IN ITEMS
        "planted.trace.nelk:[0-9]+: drift: the host answered T1's \"PS '1' '[^']*/countdown.nelk_ui'\" with 0; the model answers 1"
        "planted.trace.nelk:[0-9]+: drift: the host sent T1 slot 40 3 \"planted\"; the model would not"
        "planted.trace.nelk:[0-9]+: drift: the host fired timer 1 of T1, which the model does not run here")
    if(NOT output MATCHES "${expected}")
        message(FATAL_ERROR "the drift report does not say \"${expected}\" (status ${status}):\n${output}")
    endif()
endforeach()
if(NOT status EQUAL 1)
    message(FATAL_ERROR "a drift report that lists differences exits ${status}, not 1:\n${output}")
endif()
message(STATUS "a moved trace replays green, and the drift report finds what was planted:\n${output}")
