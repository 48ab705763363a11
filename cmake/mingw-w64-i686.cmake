# Cross build for 32-bit Windows, the host's own platform, with Debian's mingw-w64 (posix thread
# model): cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# Tests run under nelk-win32-run (32-bit wine, fetched on first use) where it is found: beside
# this file in the source tree (tools/win32/run.sh) or in the kit's bin/ once installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NELK_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
find_program(NELK_WIN32_RUN NAMES run.sh nelk-win32-run
    PATHS "${CMAKE_CURRENT_LIST_DIR}/../tools/win32" "${CMAKE_CURRENT_LIST_DIR}/../../../bin"
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT NELK_WIN32_RUN)
    find_program(NELK_WIN32_RUN NAMES nelk-win32-run NO_CMAKE_FIND_ROOT_PATH)
endif()
if(NELK_WIN32_RUN)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NELK_WIN32_RUN})
endif()
