// Where the running program lives, so that it finds the component built beside it, whether it
// talks to a terminal, and how a path is written in a command it prints. Plain functions
// returning values; any thread.
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
// The Corvane library (libCorvane.so, Corvane.dll on Windows) beside the executable, or in the
// components' folder of the install it runs from.
std::string defaultComponentLibrary();
// The install prefix this program runs from, for the configure line it prints; a placeholder
// text when it runs from a build tree.
std::string installPrefix();
// The same, or "" when it runs from a build tree.
std::string installRoot();
// The directory part of a path ("" when it has none).
std::string directoryOf(const std::string& path);
// `text` as one word of a POSIX shell's command line: as it is when it needs no quoting, otherwise
// in single quotes.
std::string shellQuoted(const std::string& text);

}  // namespace nelk_host_tool
