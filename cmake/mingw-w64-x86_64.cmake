# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model). Tests run under
# wine64 when it is installed: cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NELK_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
find_program(NELK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NELK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NELK_WINE})
endif()
