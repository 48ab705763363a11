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
# The tap, to put in a component's place and record what a host does to it (docs/tap.md).
if(TARGET nelk_tap)
    install(TARGETS nelk_tap LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/nelk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The 32-bit Windows runner, for an author's tests of the host's platform (the i686 toolchain
# file finds it beside the package, in bin/).
if(NOT WIN32)
    install(PROGRAMS "${PROJECT_SOURCE_DIR}/tools/win32/run.sh" DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME nelk-win32-run)
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
    "${CMAKE_CURRENT_LIST_DIR}/component_exports.map"
    DESTINATION ${NELK_PACKAGE_DIR})
