# validate --save-failures writes only where no one else can reach: a DIR that is a file, that
# others may write in or that another user owns is refused before any check runs (status 2), and
# a symbolic link planted at the scenario's name is not followed.
#   COMMAND LIBRARY CHECK WORK
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(expect_refused dir pattern)
    execute_process(COMMAND ${COMMAND} validate ${LIBRARY} --only ${CHECK} --seed 7 --timeout 2 --save-failures ${dir}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 120)
    if(NOT status EQUAL 2 OR NOT output MATCHES "${pattern}")
        message(FATAL_ERROR "--save-failures ${dir}: status ${status}, expected 2 and \"${pattern}\":\n${output}")
    endif()
    message(STATUS "refused as it must: ${output}")
endfunction()

file(WRITE "${WORK}/a-file" "")
expect_refused("${WORK}/a-file" "--save-failures: [^\n]*a-file is not a folder")

file(MAKE_DIRECTORY "${WORK}/shared")
file(CHMOD "${WORK}/shared" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE
    GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
expect_refused("${WORK}/shared" "shared: others may write in it")

# Another user's folder: only root can make one to try.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid STREQUAL "0")
    file(MAKE_DIRECTORY "${WORK}/theirs")
    execute_process(COMMAND chown 65534 "${WORK}/theirs" RESULT_VARIABLE chowned)
    if(chowned EQUAL 0)
        expect_refused("${WORK}/theirs" "theirs belongs to another user")
    endif()
else()
    message(STATUS "skipped another user's folder: making one needs root")
endif()

# A link where the scenario goes: the file it points to stays as it was.
file(MAKE_DIRECTORY "${WORK}/own")
file(CHMOD "${WORK}/own" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${WORK}/victim" "untouched\n")
get_filename_component(stem "${LIBRARY}" NAME_WE)
file(CREATE_LINK "${WORK}/victim" "${WORK}/own/${stem}.${CHECK}.nelk" SYMBOLIC)
execute_process(COMMAND ${COMMAND} validate ${LIBRARY} --only ${CHECK} --seed 7 --timeout 2 --save-failures "${WORK}/own"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 300)
file(READ "${WORK}/victim" victim)
if(NOT victim STREQUAL "untouched\n")
    message(FATAL_ERROR "the link at the scenario's name was followed; its target now holds:\n${victim}")
endif()
if(NOT output MATCHES "a symbolic link stands there")
    message(FATAL_ERROR "the refused link is not reported:\n${output}")
endif()
message(STATUS "the link was not followed:\n${output}")
