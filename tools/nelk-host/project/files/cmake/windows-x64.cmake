# The preset windows-x64: 64-bit Windows. On Linux, the kit's mingw-w64
# toolchain (its Windows parts are found in the kit, its tests run under wine64); on
# Windows, the generator's own compiler (Visual Studio builds for x64).
if(CMAKE_HOST_WIN32)
    if(CMAKE_GENERATOR MATCHES "Visual Studio")
        set(CMAKE_GENERATOR_PLATFORM x64)
    endif()
    return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/nelk_kit.cmake")
set(nelk_toolchain "${NELK_PREFIX}/share/nelk_script_helper/toolchains/mingw-w64-x86_64.cmake")
if(NOT EXISTS "${nelk_toolchain}")
    message(FATAL_ERROR "no ${nelk_toolchain}: set NELK_PREFIX to the prefix of a nelk_script_helper kit (docs/shipping.md)")
endif()
include("${nelk_toolchain}")
