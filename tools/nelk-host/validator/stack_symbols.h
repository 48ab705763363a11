// Names the frames of a crashed child's stack: function, source file and line, and library,
// read from the libraries' own symbol tables and debug information (libdw). Where libdw is not
// built in, frames are named by library and offset. Parent side; any thread.
#pragma once

#include <string>

#include "process/child_report.h"

namespace nelk_validator {

// The stack the child's report holds, innermost first, one frame a line ("#0 function at
// file:line (library)"), from the faulting instruction on; at most `frames` lines. Empty when
// the report holds none.
std::string symbolizedStack(const nelk_host_tool::child_report& report, int frames = 16);

}  // namespace nelk_validator
