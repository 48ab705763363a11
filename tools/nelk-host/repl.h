// The interactive host: scenario statements and the session's commands typed at a prompt, with
// line editing and a history kept between sessions.
#pragma once

#include "live_session.h"

namespace nelk_host_tool {

struct repl_options {
    bool watch = false;        // reload a library whose file changed, before the next statement
    std::string historyFile;   // where typed lines are kept; empty: none
};

// Reads lines until "quit" or the end of input; returns 0, or 1 when a protocol error was seen.
// Line editing and history when built with libedit and reading a terminal.
int runRepl(live_session& session, const repl_options& options);

// The history file to use: $NELK_HOST_HISTORY, else ~/.nelk-host_history, else none.
std::string defaultHistoryFile();

}  // namespace nelk_host_tool
