// Where the tap finds the component it stands in for, and where it writes its trace: beside the
// tap's own file. A text file named like the tap with ".tap" added (libCorvane.so.tap,
// Corvane.dll.tap) may say both, one "key=value" a line:
//   library=PATH   the real component library (default: the tap's name with ".real" before its
//                  ending: libCorvane.real.so, Corvane.real.dll)
//   trace=PATH     the trace (default: the tap's name with ".trace.nelk" added); "%p" in it is the
//                  process id
// Relative paths are taken from the tap's folder. Read once, at the first creation; any thread.
#pragma once

#include <string>

namespace nelk_tap {

struct tap_config {
    std::string library;  // the real component library
    std::string trace;    // the trace file
    std::string problem;  // why the tap cannot work, when it cannot (the tap itself named as the real library, ...)
};

// The configuration of the tap library that holds `anchor` (an address inside it).
tap_config readConfig(const void* anchor);

// Tells the user why the tap records nothing: on standard error, and on Windows in the debugger's
// output too, where a host's own console may be missing. Any thread.
void complain(const std::string& text);

}  // namespace nelk_tap
