# Per-target build settings; nothing here touches global flags.

# C++17, warnings on, and the sanitizers when NELK_SANITIZE is set.
function(nelk_target_options target)
    target_compile_features(${target} PUBLIC cxx_std_17)
    # Libraries, components, tools and tests side by side, as a host finds them (and as
    # Windows finds DLLs beside the executable).
    set_target_properties(${target} PROPERTIES
        CXX_EXTENSIONS OFF
        RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin"
        LIBRARY_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin")
    if(MINGW)
        # The DLLs and programs carry their C++ runtime, so they load where no mingw runtime is.
        target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static)
    endif()
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${NELK_WARNINGS_AS_ERRORS}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                               $<$<BOOL:${NELK_WARNINGS_AS_ERRORS}>:-Werror>)
    endif()
    if((NELK_SANITIZE OR NELK_BUILD_FUZZERS) AND NOT MSVC)
        set(flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_compile_options(${target} PRIVATE ${flags})
        target_link_options(${target} PRIVATE ${flags})
    endif()
    if(NELK_BUILD_FUZZERS)
        # Coverage for libFuzzer in every target; the fuzzers themselves link the fuzzer main.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
endfunction()

include(NelkComponent)

# A loadable component of this project: our build settings plus the component link rules.
function(nelk_component_options target)
    nelk_target_options(${target})
    nelk_component_link_options(${target})
endfunction()
