# The preset windows-x86: 32-bit Windows, the host's own platform. On Linux, the kit's mingw-w64
# toolchain (its Windows parts are found in the kit, its tests run under nelk-win32-run); on
# Windows, the generator's own compiler (Visual Studio builds for Win32).
if(CMAKE_HOST_WIN32)
    if(CMAKE_GENERATOR MATCHES "Visual Studio")
        set(CMAKE_GENERATOR_PLATFORM Win32)
    endif()
    return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/nelk_kit.cmake")
set(nelk_toolchain "${NELK_PREFIX}/share/nelk_script_helper/toolchains/mingw-w64-i686.cmake")
if(NOT EXISTS "${nelk_toolchain}")
    message(FATAL_ERROR "no ${nelk_toolchain}: set NELK_PREFIX to the prefix of a nelk_script_helper kit (docs/shipping.md)")
endif()
include("${nelk_toolchain}")
