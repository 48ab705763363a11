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

std::optional<std::string> readStatement(bool terminal) {
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
    return line;
}

}  // namespace

int runRepl(scenario_runner& runner, simulator& host) {
    const bool terminal = isTerminal(0);
    if (terminal) std::printf("nelk-host: type statements, \"help\" for the list, \"quit\" to leave.\n");
    int number = 0;
    while (const std::optional<std::string> line = readStatement(terminal)) {
        ++number;
        if (*line == "quit" || *line == "exit") break;
        if (*line == "help") {
            std::printf("%s", statementHelp().c_str());
            continue;
        }
        runner.runStatement("repl:" + std::to_string(number), *line);
    }
    host.removeAll();
    return host.protocolErrors() == 0 ? 0 : 1;
}

}  // namespace nelk_host_tool
