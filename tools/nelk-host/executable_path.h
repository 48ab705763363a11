// Where the running program lives, so that it finds the component built beside it.
#pragma once

#include <string>

namespace nelk_host_tool {

// The directory of the running executable, or "." when it cannot be told.
std::string executableDirectory();
// The Corvane library beside the executable: libCorvane.so, or Corvane.dll on Windows.
std::string defaultComponentLibrary();

}  // namespace nelk_host_tool
