// nelk-host repl [LIBRARY]: statements and the session's commands typed at a prompt, with line
// editing and a history kept between sessions.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "command_line.h"
#include "runner/scenario_host.h"
#include "runner/statement_watchdog.h"
#include "process/executable_path.h"
#include "process/process_guard.h"
#include "scenario/live_session.h"

#if defined(NELK_HAVE_EDITLINE)
#include <cerrno>

#include <editline/readline.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace nelk_host_tool {

namespace {

struct repl_options {
    std::string library;       // what loads use by default, when given
    bool watch = false;        // reload a library whose file changed, before the next statement
    std::string historyFile;   // where typed lines are kept; empty: none
    double timeoutSeconds = 10;  // a statement still running after this long ends the prompt
    std::string timeout;         // as typed
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

// Ctrl-C at the prompt drops the line typed so far, as a shell does; during a statement it says
// that the statement still runs in the component (a call into it cannot be taken back), and a
// second one ends nelk-host, without the deletion a host would make, since the component is
// still in its call. The history is on disk already: it is written after every line.
volatile std::sig_atomic_t interrupted_ = 0;
volatile std::sig_atomic_t inStatement_ = 0;

void onInterrupt(int) {
    if (inStatement_ && interrupted_) {
        static const char ending[] = "\nnelk-host: ended at a second Ctrl-C, with the statement still running in the "
                                     "component; its instances were not deleted\n";
        nelk_process_guard::writeAll(2, ending);
        nelk_process_guard::exitOnPurpose();
        std::_Exit(130);
    }
    interrupted_ = 1;
    if (inStatement_) {
        static const char still[] = "\nnelk-host: the statement still runs in the component; Ctrl-C again ends nelk-host "
                                    "without deleting the instances\n";
        nelk_process_guard::writeAll(2, still);
    }
}

// Without SA_RESTART, so that a read waiting at the prompt returns and the line is dropped.
void catchInterrupts() {
#if !defined(_WIN32)
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
#else
    std::signal(SIGINT, onInterrupt);
#endif
}

#if defined(NELK_HAVE_EDITLINE)
// The prompt's input a byte at a time. libedit reads the terminal with its signals off, so
// Ctrl-C comes as the terminal's interrupt character: it ends the line, dropped, as does a read
// that a SIGINT interrupted (libedit's own read would be started again, and the line kept).
int promptByte(FILE*) {
    termios modes{};
    const int interrupt = tcgetattr(0, &modes) == 0 && modes.c_cc[VINTR] != _POSIX_VDISABLE ? modes.c_cc[VINTR] : 3;
    for (;;) {
        if (interrupted_) return EOF;  // a SIGINT that came between two reads
        unsigned char byte = 0;
        const ssize_t got = read(0, &byte, 1);
        if (got == 1 && byte == interrupt) {
            interrupted_ = 1;
            return EOF;
        }
        if (got == 1) return byte;
        if (got < 0 && errno == EINTR && !interrupted_) continue;
        return EOF;
    }
}
#endif

// The next line; "" for one that Ctrl-C dropped; nullopt at the end of input.
std::optional<std::string> readLine(bool terminal) {
    interrupted_ = 0;
#if defined(NELK_HAVE_EDITLINE)
    if (terminal) {
        char* typed = readline("nelk> ");
        if (typed == nullptr && interrupted_) {
            std::fputs("\n", stdout);
            return std::string();
        }
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
    if (!std::getline(std::cin, line)) {
        if (!interrupted_) return std::nullopt;
        std::cin.clear();
        std::clearerr(stdin);
        std::fputs("\n", stdout);
        return std::string();
    }
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
int runRepl(live_session& session, const repl_options& options, statement_watchdog& watchdog) {
    const bool terminal = isTerminal(0);
#if defined(NELK_HAVE_EDITLINE)
    if (terminal) {
        // Before libedit starts (the history's first call starts it): Ctrl-C is this prompt's own.
        rl_catch_signals = 0;
        rl_getc_function = promptByte;
    }
    const bool keepHistory = terminal && !options.historyFile.empty();
    if (keepHistory) {
        read_history(options.historyFile.c_str());
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(options.historyFile).parent_path(), error);
    }
#endif
    if (terminal) {
        catchInterrupts();
        std::printf("nelk-host: type statements, \"help\" for the list, \"quit\" to leave; Ctrl-C drops a line.\n");
    }
    int number = 0;
    while (const std::optional<std::string> line = readLine(terminal)) {
        if (line->empty() && interrupted_) continue;  // a line Ctrl-C dropped
#if defined(NELK_HAVE_EDITLINE)
        if (keepHistory) write_history(options.historyFile.c_str());  // kept whatever ends the session
#endif
        ++number;
        if (*line == "quit" || *line == "exit") break;
        if (*line == "help") {
            printHelp();
            continue;
        }
        const std::string where = "repl:" + std::to_string(number);
        inStatement_ = 1;
        watchdog.begins(where, *line);
        if (options.watch) session.reloadChanged(where);
        session.enter(where, *line);
        watchdog.ends();
        inStatement_ = 0;
    }
    session.host().removeAll();
    return session.host().protocolErrors() == 0 ? 0 : 1;
}

int runPrompt(host_options& host, repl_options& prompt) {
    if (!prompt.library.empty()) host.library = prompt.library;
    if (!prepared(host)) return 2;
    if (!loadable(host.library)) return 2;
    std::string problem;
    if (!prompt.timeout.empty() && !readSeconds("--timeout", prompt.timeout, prompt.timeoutSeconds, problem)) {
        std::fprintf(stderr, "nelk-host: %s\n", problem.c_str());
        return 2;
    }
    const guarded_run guard(host);
    transcript output(stdout, host.style(), host.colour());
    live_session session(output, host.library, host.mode());
    statement_watchdog watchdog(prompt.timeoutSeconds, host.style(), host.colour(), "the prompt cannot go on");
    return runRepl(session, prompt, watchdog);
}

}  // namespace

subcommand addReplCommand(CLI::App& app, host_options& host) {
    auto options = std::make_shared<repl_options>();
    options->historyFile = defaultHistoryFile();
    CLI::App* repl = app.add_subcommand("repl", "type scenario statements interactively");
    addHostOptions(*repl, host);
    repl->add_option("library", options->library, "the component library that loads use by default");
    repl->add_flag("--watch", options->watch, "reload a library whose file changed, before the next statement");
    repl->add_option("--timeout", options->timeout,
                     "seconds a statement may run before nelk-host ends, naming it (default 10)");
    repl->add_option("--history", options->historyFile,
                     "where typed lines are kept (default $NELK_HOST_HISTORY, or history in $XDG_STATE_HOME/nelk-host "
                     "or ~/.local/state/nelk-host)");
    repl->footer(statementFooter() + "Session commands:\n" + sessionCommandHelp());
    return {repl, [&host, options] { return runPrompt(host, *options); }};
}

}  // namespace nelk_host_tool
