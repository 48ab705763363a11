# The Windows presets' toolchain, for NELK_WINDOWS_ARCH (x86 or x64, set by windows-x86.cmake and
# windows-x64.cmake). On Linux, the kit's mingw-w64 toolchain: its Windows parts are found in the
# kit, and its tests run under nelk-win32-run (x86) or wine64 (x64). On Windows, the generator's
# own compiler: Visual Studio builds for Win32 or x64.
if(CMAKE_HOST_WIN32)
    if(CMAKE_GENERATOR MATCHES "Visual Studio" AND NELK_WINDOWS_ARCH STREQUAL "x86")
        set(CMAKE_GENERATOR_PLATFORM Win32)
    elseif(CMAKE_GENERATOR MATCHES "Visual Studio")
        set(CMAKE_GENERATOR_PLATFORM x64)
    endif()
    return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/nelk_kit.cmake")
if(NELK_WINDOWS_ARCH STREQUAL "x86")
    set(nelk_toolchain "${NELK_PREFIX}/share/nelk_script_helper/toolchains/mingw-w64-i686.cmake")
else()
    set(nelk_toolchain "${NELK_PREFIX}/share/nelk_script_helper/toolchains/mingw-w64-x86_64.cmake")
endif()
if(NOT EXISTS "${nelk_toolchain}")
    message(FATAL_ERROR "no ${nelk_toolchain}: set NELK_PREFIX to the prefix of a nelk_script_helper kit (docs/shipping.md)")
endif()
include("${nelk_toolchain}")
