# The preset windows-x86: 32-bit Windows, the host's own platform (windows.cmake).
set(NELK_WINDOWS_ARCH x86)
include("${CMAKE_CURRENT_LIST_DIR}/windows.cmake")
