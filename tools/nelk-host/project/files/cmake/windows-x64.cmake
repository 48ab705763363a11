# The preset windows-x64: 64-bit Windows (windows.cmake).
set(NELK_WINDOWS_ARCH x64)
include("${CMAKE_CURRENT_LIST_DIR}/windows.cmake")
