# Shared by the mingw-w64 toolchain files; NELK_MINGW_PREFIX names the target triple.
set(CMAKE_C_COMPILER ${NELK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NELK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NELK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${NELK_MINGW_PREFIX})
# Libraries only from the target's root; header-only packages (CLI11, nlohmann_json) and
# programs from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# An installed kit keeps its Windows parts (the framework, nelk_string.dll, nelk-host.exe, the
# tap and their CMake package) in <prefix>/<triplet>, as a cross root beside mingw-w64's own;
# this file is then in <prefix>/share/nelk_script_helper/toolchains.
get_filename_component(NELK_WINDOWS_KIT "${CMAKE_CURRENT_LIST_DIR}/../../../${NELK_MINGW_PREFIX}" ABSOLUTE)
if(EXISTS "${NELK_WINDOWS_KIT}/lib/cmake/nelk_script_helper" AND NOT NELK_WINDOWS_KIT STREQUAL "/usr/${NELK_MINGW_PREFIX}")
    list(APPEND CMAKE_FIND_ROOT_PATH "${NELK_WINDOWS_KIT}")
endif()
