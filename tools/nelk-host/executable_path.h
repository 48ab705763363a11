// Where the running program lives, so that it finds the component built beside it, and whether
// it talks to a terminal. Plain functions returning values; any thread.
#pragma once

#include <string>

namespace nelk_host_tool {

// The running executable's file, or "nelk-host" when it cannot be told.
std::string executablePath();
// The directory of the running executable, or "." when it cannot be told.
std::string executableDirectory();
// Whether the file descriptor (0 input, 1 output) is a terminal; never on Windows, where the
// transcript stays plain.
bool isTerminal(int descriptor);
// The Corvane library beside the executable: libCorvane.so, or Corvane.dll on Windows.
std::string defaultComponentLibrary();
// The directory part of a path ("" when it has none).
std::string directoryOf(const std::string& path);

}  // namespace nelk_host_tool
