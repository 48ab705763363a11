# What a component project uses, in this tree and from the installed nelk_script_helper package:
#   nelk_add_component(NAME SOURCES... [LAYOUTS FILES...])
#       a loadable component library that links the framework statically, exports only
#       load_nelk_client_script and carries no "lib" prefix on Windows; its layouts are copied
#       beside it at every build (on Windows nelk_string.dll too, as the host's folder has it),
#       and library and layouts install to <libdir>/nelk. It describes itself in
#       <build>/nelk-components/NAME.json, where `nelk-host pack BUILD_DIR` finds it.
#   nelk_add_unit_test(NAME COMPONENT SOURCES...)
#       a GoogleTest program linked with the test kit, told the component's library as the
#       macro <COMPONENT in capitals>_LIBRARY, run as the CTest test NAME. Where no GoogleTest is
#       found, not even Debian's sources to build (/usr/src/googletest, NELK_GTEST_SOURCE), the
#       test says so and is skipped.
#   nelk_add_validator_test(TARGET [ARGS...])
#       a CTest test, TARGET.validate, that runs nelk-host validate on the library (ARGS are
#       validate's options, such as --iterations 5000).
#   nelk_add_scenario_test(NAME TARGET FILES... [OPTIONS ARGS...])
#       a CTest test that runs the scenario files with nelk-host, TARGET's library as the one
#       "load" uses; the files are relative to the calling folder; OPTIONS are run's (--strict).
#       It runs --quiet (unless OPTIONS say --json): a failure prints the statement, the last
#       events before it and the error; `nelk-host run FILE` shows the whole transcript.
#   nelk_add_fuzz_test(NAME TARGET [SEEDS FILES...] [SECONDS n] [DICTIONARY FILE] [EXPECT_FINDING])
#       coverage-guided fuzzing of the component TARGET (docs/fuzzing.md): its sources built a
#       second time with clang's -fsanitize=fuzzer-no-link,address,undefined into the library
#       NAME_fuzz_component (beside TARGET, where its layouts are), the kit's scenario-speaking
#       driver linked into the program NAME_fuzz, and a CTest test NAME (label fuzz) that fuzzes
#       for SECONDS (default 30; NELK_FUZZ_SECONDS in the environment overrides it) on a corpus
#       kept in the build tree (NAME-corpus), seeded with SEEDS (scenario files and tap traces as
#       they are) and DICTIONARY (libFuzzer's -dict). A finding fails the test: shrunk, saved as
#       NAME-findings/<fault>-<n>.nelk in the build tree (once per fault) and its path printed.
#       EXPECT_FINDING turns it round: the test passes only on a finding that nelk-host run
#       replays (for planted faults), and a shorter NELK_FUZZ_SECONDS leaves SECONDS alone. Without clang and libFuzzer configure says so and adds no test.
# In a cross build the tests run under CMAKE_CROSSCOMPILING_EMULATOR (the toolchain files set
# the 32-bit Windows runner or wine64); where there is none, or the runner says this machine
# cannot run the target's programs (status 125), they are skipped and say why, never passed.
# Kept globally, so that a project that pulls this tree in with add_subdirectory finds it too.
set_property(GLOBAL PROPERTY NELK_COMPONENT_EXPORTS_MAP "${CMAKE_CURRENT_LIST_DIR}/component_exports.map")
set_property(GLOBAL PROPERTY NELK_FUZZ_TEST_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/NelkFuzzTest.cmake")

# The link rules of a component library; SANITIZED: it is instrumented, and the sanitizers'
# runtime comes from the program that loads it.
function(nelk_component_link_options target)
    cmake_parse_arguments(PARSE_ARGV 1 nelk "SANITIZED" "" "")
    get_property(exports GLOBAL PROPERTY NELK_COMPONENT_EXPORTS_MAP)
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(WIN32)
        set_target_properties(${target} PROPERTIES PREFIX "")
        if(MINGW)
            target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static)
        endif()
    elseif(NOT APPLE)
        target_link_options(${target} PRIVATE "LINKER:--version-script=${exports}")
        # Sanitizer runtimes live in the host executable, so instrumented components leave
        # their symbols undefined.
        if(NOT NELK_SANITIZE AND NOT NELK_BUILD_FUZZERS AND NOT nelk_SANITIZED)
            target_link_options(${target} PRIVATE "LINKER:--no-undefined")
        endif()
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${exports}")
    endif()
endfunction()

function(nelk_add_component name)
    cmake_parse_arguments(PARSE_ARGV 1 nelk "" "" "LAYOUTS")
    if(NOT nelk_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "nelk_add_component(${name}): give the component's source files")
    endif()
    add_library(${name} MODULE ${nelk_UNPARSED_ARGUMENTS})
    target_compile_features(${name} PRIVATE cxx_std_17)
    target_link_libraries(${name} PRIVATE nelk::nelk_script_helper)
    nelk_component_link_options(${name})
    include(GNUInstallDirs)
    install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk)
    _nelk_describe_component(${name} "${nelk_LAYOUTS}")
    if(WIN32)
        # The host's folder holds nelk_string.dll; so does the component's build folder, where
        # its tests load it.
        add_custom_command(TARGET ${name} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:nelk::nelk_string> $<TARGET_FILE_DIR:${name}>
            VERBATIM)
    endif()
    if(nelk_LAYOUTS)
        set(layouts "")
        foreach(layout IN LISTS nelk_LAYOUTS)
            get_filename_component(path "${layout}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
            if(NOT EXISTS "${path}")
                message(FATAL_ERROR "nelk_add_component(${name}): no layout ${path}")
            endif()
            list(APPEND layouts "${path}")
        endforeach()
        # The host reads a layout from the library's folder (the load text), so each build puts
        # the current ones there.
        set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${name}_layouts.stamp")
        add_custom_command(OUTPUT "${stamp}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "$<TARGET_FILE_DIR:${name}>"
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${layouts} "$<TARGET_FILE_DIR:${name}>"
            COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
            DEPENDS ${layouts}
            COMMENT "Copying the layouts of ${name} beside it"
            VERBATIM)
        # Built after the library (whose folder it needs), with every full build.
        add_custom_target(${name}_layouts ALL DEPENDS "${stamp}")
        install(FILES ${layouts} DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk)
    endif()
endfunction()

# <build>/nelk-components/NAME.json: what `nelk-host pack BUILD_DIR` packs.
function(_nelk_describe_component name layouts)
    set(version "${PROJECT_VERSION}")
    if(NOT version)
        set(version "0.0.0")
    endif()
    set(listed "")
    foreach(layout IN LISTS layouts)
        get_filename_component(path "${layout}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        string(REPLACE "\"" "\\\"" path "${path}")
        list(APPEND listed "\"${path}\"")
    endforeach()
    list(JOIN listed ", " listed)
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/nelk-components/${name}.json" CONTENT
"{\"name\": \"${name}\", \"version\": \"${version}\", \"library\": \"$<TARGET_FILE:${name}>\",
 \"layouts\": [${listed}], \"string_library\": \"$<TARGET_FILE:nelk::nelk_string>\"}
")
endfunction()

# A test that says why it cannot run here and is reported skipped, never passed.
function(_nelk_skipped_test name reason)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: ${reason}")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
endfunction()

# The emulator a cross build's test runs under, or nothing natively; a cross build without one
# gets a test that says so and is skipped. Sets `prefix` in the caller to what goes before the
# command, and returns false (`runnable`) when the test was made a skipped one.
function(_nelk_test_runner test runnable)
    set(${runnable} TRUE PARENT_SCOPE)
    if(NOT CMAKE_CROSSCOMPILING)
        set(prefix "" PARENT_SCOPE)
    elseif(CMAKE_CROSSCOMPILING_EMULATOR)
        set(prefix ${CMAKE_CROSSCOMPILING_EMULATOR} PARENT_SCOPE)
    else()
        _nelk_skipped_test(${test} "nothing on this machine runs ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} programs (no CMAKE_CROSSCOMPILING_EMULATOR; for 64-bit Windows install wine64)")
        set(${runnable} FALSE PARENT_SCOPE)
    endif()
endfunction()

# GoogleTest for the unit tests: the installed package, else Debian's sources built here (what a
# cross build has); nothing when neither is there. FROM_SOURCE skips the installed package.
macro(nelk_find_gtest)
    cmake_parse_arguments(nelk_gtest "FROM_SOURCE" "" "" ${ARGN})
    if(NOT TARGET GTest::gtest_main)
        if(NOT nelk_gtest_FROM_SOURCE AND NOT CMAKE_CROSSCOMPILING)
            find_package(GTest QUIET)
        endif()
        set(NELK_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources to build when none is installed")
        if(NOT TARGET GTest::gtest_main AND EXISTS "${NELK_GTEST_SOURCE}/CMakeLists.txt")
            set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
            set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
            add_subdirectory("${NELK_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
            if(NOT TARGET GTest::gtest_main)  # GoogleTest names it so itself where it is the top project's
                add_library(GTest::gtest_main ALIAS gtest_main)
            endif()
        endif()
    endif()
endmacro()

function(nelk_add_unit_test name component)
    if(ARGC LESS 3)
        message(FATAL_ERROR "nelk_add_unit_test(${name} ${component}): give the test's source files")
    endif()
    nelk_find_gtest()
    if(NOT TARGET GTest::gtest_main)
        message(STATUS "${name}: no GoogleTest (neither installed nor its sources in ${NELK_GTEST_SOURCE}): the test is skipped")
        _nelk_skipped_test(${name} "no GoogleTest to build ${name} with (Debian: apt-get install libgtest-dev googletest)")
        return()
    endif()
    add_executable(${name} ${ARGN})
    target_compile_features(${name} PRIVATE cxx_std_17)
    target_link_libraries(${name} PRIVATE nelk::nelk_test_kit GTest::gtest_main)
    string(TOUPPER "${component}" macro)
    target_compile_definitions(${name} PRIVATE ${macro}_LIBRARY="$<TARGET_FILE:${component}>")
    add_dependencies(${name} ${component})
    if(MINGW)
        # As the component: no mingw-w64 runtime DLLs to find where it runs.
        target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++ -static)
    endif()
    if(WIN32)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "$<TARGET_FILE_DIR:${component}>")
    endif()
    _nelk_test_runner(${name} runnable)
    if(runnable)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 125)
    endif()
endfunction()

function(_nelk_require_host caller)
    if(NOT TARGET nelk::nelk-host)
        message(FATAL_ERROR "${caller} runs nelk-host, which this nelk_script_helper package was built without "
                            "(configure it with NELK_BUILD_TOOLS=ON)")
    endif()
endfunction()

function(nelk_add_validator_test target)
    _nelk_require_host(nelk_add_validator_test)
    _nelk_test_runner(${target}.validate runnable)
    if(NOT runnable)
        return()
    endif()
    add_test(NAME ${target}.validate COMMAND ${prefix} "$<TARGET_FILE:nelk::nelk-host>" validate "$<TARGET_FILE:${target}>" ${ARGN})
    set_tests_properties(${target}.validate PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 125)
endfunction()

function(nelk_add_scenario_test name target)
    _nelk_require_host(nelk_add_scenario_test)
    cmake_parse_arguments(PARSE_ARGV 2 nelk "" "" "OPTIONS")
    if(NOT nelk_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "nelk_add_scenario_test(${name} ${target}): give the scenario files")
    endif()
    set(files "")
    foreach(file IN LISTS nelk_UNPARSED_ARGUMENTS)
        get_filename_component(path "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND files "${path}")
    endforeach()
    _nelk_test_runner(${name} runnable)
    if(NOT runnable)
        return()
    endif()
    # Quiet: a failure shows its statement and what led to it, not the whole transcript.
    set(quiet --quiet)
    if("--json" IN_LIST nelk_OPTIONS OR "--quiet" IN_LIST nelk_OPTIONS)
        set(quiet "")
    endif()
    add_test(NAME ${name} COMMAND ${prefix} "$<TARGET_FILE:nelk::nelk-host>" run ${quiet} ${nelk_OPTIONS} --library "$<TARGET_FILE:${target}>" ${files})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 125)
endfunction()

# Whether this build can make fuzz programs: clang with libFuzzer. Sets `usable` in the caller, and
# `why` to the reason when it cannot.
function(_nelk_fuzzing_usable usable why)
    set(${usable} FALSE PARENT_SCOPE)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR MSVC OR WIN32)
        set(${why} "fuzzing needs clang with libFuzzer on Linux, and this build's compiler is ${CMAKE_CXX_COMPILER_ID} for ${CMAKE_SYSTEM_NAME} (configure with CXX=clang++, or a new project's fuzz preset)" PARENT_SCOPE)
        return()
    endif()
    if(NOT TARGET nelk::nelk_fuzz_driver)
        set(${why} "this nelk_script_helper was built without its fuzz driver (NELK_BUILD_TOOLS=ON on Linux builds it)" PARENT_SCOPE)
        return()
    endif()
    if(NOT DEFINED NELK_HAVE_LIBFUZZER)
        include(CheckCXXSourceCompiles)
        set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
        set(CMAKE_REQUIRED_QUIET ON)
        check_cxx_source_compiles("#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }" NELK_HAVE_LIBFUZZER)
    endif()
    if(NOT NELK_HAVE_LIBFUZZER)
        set(${why} "clang here cannot link -fsanitize=fuzzer,address,undefined (Debian: apt-get install libclang-rt-14-dev)" PARENT_SCOPE)
        return()
    endif()
    set(${usable} TRUE PARENT_SCOPE)
endfunction()

# The shared runtime of clang's AddressSanitizer for this build's target, as `runtime`.
function(_nelk_sanitizer_runtime runtime)
    set(architecture ${CMAKE_SYSTEM_PROCESSOR})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(architecture i386)
    endif()
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-${architecture}.so
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(${runtime} "${path}" PARENT_SCOPE)
endfunction()

function(nelk_add_fuzz_test name target)
    cmake_parse_arguments(PARSE_ARGV 2 nelk "EXPECT_FINDING" "SECONDS;DICTIONARY" "SEEDS")
    _nelk_fuzzing_usable(usable why)
    if(NOT usable)
        get_property(said GLOBAL PROPERTY NELK_FUZZ_UNUSABLE_SAID)
        if(NOT said)
            message(STATUS "nelk_add_fuzz_test: ${why}; no fuzz tests (${name} and any others)")
            set_property(GLOBAL PROPERTY NELK_FUZZ_UNUSABLE_SAID TRUE)
        endif()
        return()
    endif()
    if(NOT nelk_SECONDS)
        set(nelk_SECONDS 30)
    endif()
    # The component's sources again, instrumented, into a library beside the component's own.
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(absolute "")
    foreach(source IN LISTS sources)
        get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${source_dir}")
        list(APPEND absolute "${path}")
    endforeach()
    set(library ${name}_fuzz_component)
    # The library names the runtime it needs first in a process, for nelk-host run to preload.
    _nelk_sanitizer_runtime(runtime)
    set(marked "${CMAKE_CURRENT_BINARY_DIR}/${name}_fuzz_runtime.cpp")
    file(GENERATE OUTPUT "${marked}" CONTENT
"// Read from the file by nelk-host (image/library_texts.h), never by code.
extern \"C\" __attribute__((used, visibility(\"hidden\"))) const char nelk_sanitizer_runtime[] = \"NELK_SANITIZER_RUNTIME=${runtime}\";
")
    add_library(${library} MODULE ${absolute} "${marked}")
    target_compile_features(${library} PRIVATE cxx_std_17)
    target_include_directories(${library} PRIVATE $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${library} PRIVATE $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>)
    get_target_property(libraries ${target} LINK_LIBRARIES)
    if(libraries)
        target_link_libraries(${library} PRIVATE ${libraries})
    endif()
    set(instrument -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    target_compile_options(${library} PRIVATE ${instrument})
    target_link_options(${library} PRIVATE -fsanitize=address,undefined)
    nelk_component_link_options(${library} SANITIZED)
    get_target_property(folder ${target} LIBRARY_OUTPUT_DIRECTORY)
    if(NOT folder)
        get_target_property(folder ${target} BINARY_DIR)
    endif()
    set_target_properties(${library} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${folder}")
    add_dependencies(${library} ${target})  # its layouts are copied with it
    # The program: the kit's driver and the library's path.
    set(named "${CMAKE_CURRENT_BINARY_DIR}/${name}_fuzz_library.cpp")
    file(GENERATE OUTPUT "${named}" CONTENT "extern \"C\" const char nelk_fuzz_library[] = \"$<TARGET_FILE:${library}>\";\n")
    add_executable(${name}_fuzz "${named}")
    target_link_libraries(${name}_fuzz PRIVATE nelk::nelk_fuzz_driver)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
    add_dependencies(${name}_fuzz ${library})
    set(seeds "")
    foreach(seed IN LISTS nelk_SEEDS)
        get_filename_component(path "${seed}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND seeds "${path}")
    endforeach()
    string(REPLACE ";" "|" seeds "${seeds}")
    set(dictionary "")
    if(nelk_DICTIONARY)
        get_filename_component(dictionary "${nelk_DICTIONARY}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    set(host "")
    if(TARGET nelk::nelk-host)
        set(host "$<TARGET_FILE:nelk::nelk-host>")
    endif()
    get_property(script GLOBAL PROPERTY NELK_FUZZ_TEST_SCRIPT)
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND} "-DPROGRAM=$<TARGET_FILE:${name}_fuzz>" "-DNAME=${name}" "-DSECONDS=${nelk_SECONDS}"
            "-DSEEDS=${seeds}" "-DDICTIONARY=${dictionary}" "-DWORK=${CMAKE_CURRENT_BINARY_DIR}" "-DNELK_HOST=${host}"
            "-DEXPECT_FINDING=${nelk_EXPECT_FINDING}" -P "${script}")
    math(EXPR timeout "${nelk_SECONDS} * 4 + 600")
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${timeout})
endfunction()
