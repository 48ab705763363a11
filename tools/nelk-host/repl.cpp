#include "repl.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "executable_path.h"

#if defined(NELK_HAVE_EDITLINE)
#include <editline/readline.h>
#endif

namespace nelk_host_tool {

namespace {

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
    std::printf("Session commands:\n%s", live_session::commandHelp());
    std::printf("  help                                        this list\n"
                "  quit                                        delete the instances and leave\n");
}

}  // namespace

std::string defaultHistoryFile() {
    if (const char* chosen = std::getenv("NELK_HOST_HISTORY")) return chosen;
    if (const char* home = std::getenv("HOME")) return std::string(home) + "/.nelk-host_history";
    return "";
}

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
    if (keepHistory) write_history(options.historyFile.c_str());
#endif
    session.host().removeAll();
    return session.host().protocolErrors() == 0 ? 0 : 1;
}

}  // namespace nelk_host_tool
