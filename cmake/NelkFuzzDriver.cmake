# nelk::nelk_fuzz_driver from an installed kit: the archive of the fuzz driver and its parts
# (_nelk_fuzz_driver_archive, set by the package's config), linked with the test kit. Nothing
# when the kit has none (a Windows kit, or one built without its tools).
if(NOT TARGET nelk::nelk_fuzz_driver AND EXISTS "${_nelk_fuzz_driver_archive}" AND TARGET nelk::nelk_test_kit)
    find_package(Threads QUIET)
    add_library(nelk::nelk_fuzz_driver STATIC IMPORTED)
    set(_nelk_fuzz_driver_links nelk::nelk_test_kit ${CMAKE_DL_LIBS})
    if(TARGET Threads::Threads)
        list(APPEND _nelk_fuzz_driver_links Threads::Threads)
    endif()
    set_target_properties(nelk::nelk_fuzz_driver PROPERTIES
        IMPORTED_LOCATION "${_nelk_fuzz_driver_archive}"
        INTERFACE_LINK_LIBRARIES "${_nelk_fuzz_driver_links}")
endif()
