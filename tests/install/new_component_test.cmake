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

# The fuzz preset (clang): green on the scaffold; then, with a fault planted (an empty label
# writes through a null pointer), red with a shrunk finding that the installed nelk-host replays.
find_program(clang NAMES clang++ clang++-14)
if(NOT clang)
    message(FATAL_ERROR "no clang++ for the fuzz preset (Debian: apt-get install clang libclang-rt-14-dev)")
endif()
set(ENV{NELK_PREFIX} "${prefix}")
run(${CMAKE_COMMAND} --preset fuzz WORKING_DIRECTORY "${project}")
run(${CMAKE_COMMAND} --build --preset fuzz WORKING_DIRECTORY "${project}")
set(ENV{NELK_FUZZ_SECONDS} 5)
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --preset fuzz WORKING_DIRECTORY "${project}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "tally_fuzz [.]+ +Passed")
    message(FATAL_ERROR "the scaffold's fuzz test did not pass (status ${status}):\n${output}")
endif()
file(READ "${project}/src/Tally.cpp" source)
string(REPLACE "    if (name == \"Label\") {\n"
    "    if (name == \"Label\") {\n        if (event.commandValue().length() == 0) *static_cast<volatile int*>(nullptr) = 1;\n"
    planted "${source}")
if(planted STREQUAL source)
    message(FATAL_ERROR "the scaffold's commandCallback no longer reads as the test plants its fault in")
endif()
file(WRITE "${project}/src/Tally.cpp" "${planted}")
run(${CMAKE_COMMAND} --build --preset fuzz WORKING_DIRECTORY "${project}")
set(ENV{NELK_FUZZ_SECONDS} 60)
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --preset fuzz -V WORKING_DIRECTORY "${project}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB finding "${project}/build/fuzz/tally_fuzz-findings/*.nelk")
if(status EQUAL 0 OR NOT finding OR NOT output MATCHES "FINDING")
    message(FATAL_ERROR "the planted fault gave no finding (status ${status}):\n${output}")
endif()
execute_process(COMMAND "${host}" --no-colour run "${finding}"
    RESULT_VARIABLE status OUTPUT_VARIABLE replay ERROR_VARIABLE replay)
if(status EQUAL 0 OR NOT replay MATCHES "AddressSanitizer: SEGV")
    message(FATAL_ERROR "the installed nelk-host run did not fail on the finding ${finding} the same way (status ${status}):\n${replay}")
endif()
file(READ "${finding}" kept)
message(STATUS "the fuzz preset found the planted fault and nelk-host run replays it:\n${kept}")
