# Script run by CTest: from a fresh install, the loop of a new component author. The installed
# nelk-host runs its demo from another folder, makes a project with new (and refuses to make it
# over an existing one), and the project configures against the prefix, builds and passes its
# own tests, the validator among them.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(installed bin/nelk-host share/doc/nelk_script_helper/first-component.md share/doc/nelk_script_helper/README.md)
    if(NOT EXISTS "${prefix}/${installed}")
        message(FATAL_ERROR "the install lacks ${installed}")
    endif()
endforeach()
set(host "${prefix}/bin/nelk-host")

execute_process(COMMAND "${host}" --no-colour WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "prefix/lib[^ ]*/nelk/libCorvane.so.*demo finished")
    message(FATAL_ERROR "the installed demo did not pass on the installed Corvane (status ${status}):\n${output}")
endif()

set(project "${WORK_DIR}/Tally")
execute_process(COMMAND "${host}" new Tally "${project}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "-DCMAKE_PREFIX_PATH=${prefix}")
    message(FATAL_ERROR "new failed or did not give the configure line (status ${status}):\n${output}")
endif()
file(WRITE "${project}/mine.txt" "kept")
execute_process(COMMAND "${host}" new Tally "${project}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(READ "${project}/mine.txt" kept)
if(NOT status EQUAL 2 OR NOT output MATCHES "exists already" OR NOT kept STREQUAL "kept")
    message(FATAL_ERROR "new wrote over an existing folder (status ${status}):\n${output}")
endif()
file(REMOVE "${project}/mine.txt")

run(${CMAKE_COMMAND} -S "${project}" -B "${project}/build" -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}")
run(${CMAKE_COMMAND} --build "${project}/build")
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --test-dir "${project}/build" --output-on-failure
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "tally_tests [.]+ +Passed.*tally_scenario [.]+ +Passed.*Tally.validate [.]+ +Passed")
    message(FATAL_ERROR "the new project's tests did not all pass (status ${status}):\n${output}")
endif()
message(STATUS "new project built and tested against ${prefix}:\n${output}")
