# Install rules and the nelk_script_helper CMake package:
#   find_package(nelk_script_helper) gives nelk::nelk_string, nelk::nelk_script_helper,
#   nelk::nelk_test_kit, nelk::nelk-host and the functions of NelkComponent.cmake.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(NELK_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/nelk_script_helper")
set(nelk_exported nelk_string nelk_script_helper)
if(TARGET nelk_test_kit)
    list(APPEND nelk_exported nelk_test_kit)
endif()

install(TARGETS ${nelk_exported} EXPORT nelk_targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nelk)
install(EXPORT nelk_targets NAMESPACE nelk:: DESTINATION ${NELK_PACKAGE_DIR} FILE nelk_script_helperTargets.cmake)

# The Corvane component and its layout, where a host finds them.
install(TARGETS Corvane LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${PROJECT_SOURCE_DIR}/panels/Components/Corvane/corvane.nelk_ui"
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk)
if(NOT WIN32)
    set_target_properties(Corvane PROPERTIES INSTALL_RPATH "$ORIGIN/..")  # the shared nelk_string in <libdir>
endif()
# nelk-host, exported as nelk::nelk-host for nelk_add_validator_test and nelk_add_scenario_test.
if(TARGET nelk-host)
    install(TARGETS nelk-host EXPORT nelk_tool_targets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(EXPORT nelk_tool_targets NAMESPACE nelk:: DESTINATION ${NELK_PACKAGE_DIR} FILE nelk_script_helperToolTargets.cmake)
endif()
# The fuzz driver of nelk_add_fuzz_test, one archive (tools/nelk-host), imported by NelkFuzzDriver.cmake.
if(TARGET nelk_fuzz_driver_kit)
    install(FILES "${NELK_FUZZ_KIT_ARCHIVE}" DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
# The tap, to put in a component's place and record what a host does to it (docs/tap.md).
if(TARGET nelk_tap)
    install(TARGETS nelk_tap LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The 32-bit Windows runner, for an author's tests of the host's platform, and the toolchain
# files of the Windows builds, which find it in bin/ and the Windows parts of the kit in
# <prefix>/<triplet> (tools/package.sh puts them there).
if(NOT WIN32)
    install(PROGRAMS "${PROJECT_SOURCE_DIR}/tools/win32/run.sh" DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME nelk-win32-run)
    install(FILES "${PROJECT_SOURCE_DIR}/cmake/mingw-w64-common.cmake" "${PROJECT_SOURCE_DIR}/cmake/mingw-w64-i686.cmake"
        "${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake" DESTINATION ${CMAKE_INSTALL_DATADIR}/nelk_script_helper/toolchains)
endif()
# The guides, for those who work from the install.
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/" DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The examples, to read and to build from: share/doc/nelk_script_helper/examples.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/" DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/nelk_script_helperConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/nelk_script_helperConfig.cmake" INSTALL_DESTINATION ${NELK_PACKAGE_DIR})
write_basic_package_version_file("${PROJECT_BINARY_DIR}/nelk_script_helperConfigVersion.cmake"
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
    "${PROJECT_BINARY_DIR}/nelk_script_helperConfig.cmake"
    "${PROJECT_BINARY_DIR}/nelk_script_helperConfigVersion.cmake"
    "${CMAKE_CURRENT_LIST_DIR}/NelkComponent.cmake"
    "${CMAKE_CURRENT_LIST_DIR}/NelkFuzzTest.cmake"
    "${CMAKE_CURRENT_LIST_DIR}/NelkFuzzDriver.cmake"
    "${CMAKE_CURRENT_LIST_DIR}/component_exports.map"
    DESTINATION ${NELK_PACKAGE_DIR})

# The kit as packages (tools/package.sh makes them all into dist/): on Linux a .deb and a .tar.gz,
# which carry the Windows kits where the script staged them (CPACK_INSTALLED_DIRECTORIES, given
# to cpack); on Windows a .zip of this architecture's kit.
set(CPACK_PACKAGE_NAME nelk-script-helper)
set(CPACK_PACKAGE_VENDOR "nelk script helper")
set(CPACK_PACKAGE_CONTACT "nelk script helper developers <nelk-script-helper@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Framework, test kit and headless host (nelk-host) for panel host components")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_STRIP_FILES OFF)
if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(nelk_package_architecture x86)
    else()
        set(nelk_package_architecture x64)
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "nelk-script-helper-${PROJECT_VERSION}-windows-${nelk_package_architecture}")
else()
    set(CPACK_GENERATOR "DEB;TGZ")
    set(CPACK_PACKAGE_FILE_NAME "nelk-script-helper-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION devel)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/bin")
    # What an author builds and runs with, beside what nelk-host itself needs.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cmake, g++, libgtest-dev, googletest, mingw-w64, wine64, libc6-i386, python3, clang, libclang-rt-14-dev")
endif()
include(CPack)
