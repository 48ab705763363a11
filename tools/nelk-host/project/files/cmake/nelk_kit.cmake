# Where the nelk_script_helper kit is: NELK_PREFIX (a cache variable or the environment), else
# the kit that made this project. Included by CMakeLists.txt and by the Windows toolchain files;
# a native build looks for the kit's package there, a Windows one in the kit's Windows parts
# (which the kit's toolchain file names).
if(NOT NELK_PREFIX)
    if(NOT "$ENV{NELK_PREFIX}" STREQUAL "")
        set(NELK_PREFIX "$ENV{NELK_PREFIX}")
    else()
        set(NELK_PREFIX [==[@prefix@]==])
    endif()
endif()
if(NELK_PREFIX AND NOT CMAKE_CROSSCOMPILING AND NOT CMAKE_TOOLCHAIN_FILE)
    list(APPEND CMAKE_PREFIX_PATH "${NELK_PREFIX}")
endif()
