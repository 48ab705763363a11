// nelk-host repl [LIBRARY]: statements and the session's commands typed at a prompt, with line
// editing and a history kept between sessions.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "command_line.h"
#include "runner/scenario_host.h"
#include "process/executable_path.h"
#include "scenario/live_session.h"

#if defined(NELK_HAVE_EDITLINE)
#include <editline/readline.h>
#endif

namespace nelk_host_tool {

namespace {

struct repl_options {
    std::string library;       // what loads use by default, when given
    bool watch = false;        // reload a library whose file changed, before the next statement
    std::string historyFile;   // where typed lines are kept; empty: none
};

// $NELK_HOST_HISTORY, else $XDG_STATE_HOME/nelk-host/history, else
// ~/.local/state/nelk-host/history, else none.
std::string defaultHistoryFile() {
    if (const char* chosen = std::getenv("NELK_HOST_HISTORY")) return chosen;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/nelk-host/history";
    if (const char* home = std::getenv("HOME")) return std::string(home) + "/.local/state/nelk-host/history";
    return "";
}

std::optional<std::string> readLine(bool terminal) {
#if defined(NELK_HAVE_EDITLINE)
    if (terminal) {
        char* typed = readline("nelk> ");
        if (typed == nullptr) return std::nullopt;
        std::string line(typed);
        std::free(typed);
        if (!line.empty()) add_history(line.c_str());
        return line;
    }
#endif
    if (terminal) {
        std::fputs("nelk> ", stdout);
        std::fflush(stdout);
    }
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void printHelp() {
    std::printf("Statements (as in a scenario file):\n%s", statementHelp().c_str());
    std::printf("Session commands:\n%s", sessionCommandHelp().c_str());
    std::printf("  help                                        this list\n"
                "  quit                                        delete the instances and leave\n");
}

// Reads lines until "quit" or the end of input; 0, or 1 when a protocol error was seen.
int runRepl(live_session& session, const repl_options& options) {
    const bool terminal = isTerminal(0);
#if defined(NELK_HAVE_EDITLINE)
    const bool keepHistory = terminal && !options.historyFile.empty();
    if (keepHistory) read_history(options.historyFile.c_str());
#endif
    if (terminal) std::printf("nelk-host: type statements, \"help\" for the list, \"quit\" to leave.\n");
    int number = 0;
    while (const std::optional<std::string> line = readLine(terminal)) {
        ++number;
        if (*line == "quit" || *line == "exit") break;
        if (*line == "help") {
            printHelp();
            continue;
        }
        const std::string where = "repl:" + std::to_string(number);
        if (options.watch) session.reloadChanged(where);
        session.enter(where, *line);
    }
#if defined(NELK_HAVE_EDITLINE)
    if (keepHistory) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(options.historyFile).parent_path(), error);
        write_history(options.historyFile.c_str());
    }
#endif
    session.host().removeAll();
    return session.host().protocolErrors() == 0 ? 0 : 1;
}

int runPrompt(host_options& host, const repl_options& prompt) {
    if (!prompt.library.empty()) host.library = prompt.library;
    if (!prepared(host)) return 2;
    if (!loadable(host.library)) return 2;
    const guarded_run guard(host);
    transcript output(stdout, host.style(), host.colour());
    live_session session(output, host.library, host.mode());
    return runRepl(session, prompt);
}

}  // namespace

subcommand addReplCommand(CLI::App& app, host_options& host) {
    auto options = std::make_shared<repl_options>();
    options->historyFile = defaultHistoryFile();
    CLI::App* repl = app.add_subcommand("repl", "type scenario statements interactively");
    addHostOptions(*repl, host);
    repl->add_option("library", options->library, "the component library that loads use by default");
    repl->add_flag("--watch", options->watch, "reload a library whose file changed, before the next statement");
    repl->add_option("--history", options->historyFile,
                     "where typed lines are kept (default $NELK_HOST_HISTORY, or history in $XDG_STATE_HOME/nelk-host "
                     "or ~/.local/state/nelk-host)");
    repl->footer(statementFooter() + "Session commands:\n" + sessionCommandHelp());
    return {repl, [&host, options] { return runPrompt(host, *options); }};
}

}  // namespace nelk_host_tool
