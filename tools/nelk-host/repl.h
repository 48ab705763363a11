// The interactive host: scenario statements typed at a prompt, with line editing and history.
#pragma once

#include "scenario.h"

namespace nelk_host_tool {

// Reads statements until "quit" or the end of input; returns 0, or 1 when a protocol error was
// seen. Line editing and history when built with libedit and reading a terminal. host and
// runner: used for the whole session.
int runRepl(scenario_runner& runner, simulator& host);

}  // namespace nelk_host_tool
