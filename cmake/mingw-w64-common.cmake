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
