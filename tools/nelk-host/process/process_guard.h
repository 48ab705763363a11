// Notices a component that ends the process it is loaded in: a fatal signal (a crash, abort),
// exit(), _exit() or _Exit(). While armed, the guard tells the program's reporter what ended the
// process, where (a scenario statement, a validator check) and during which event, and the
// process then ends with a failing status instead of the component's. Everything here may run
// inside a signal handler: fixed buffers, no allocation. One guard per process; its setters are
// called from the host's thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nelk_process_guard {

// Whose code was running when the process ended.
enum class culprit {
    component,        // a call into the component (or its library's own code), or outside nelk-host's own work
    componentThread,  // a thread other than the host's: one the component started
    host,             // nelk-host's own work on the host's thread, outside any call into the component
};

// What ended the process, for the reporter. Texts are zero-terminated and live in the guard.
struct ending {
    const char* what;   // "crashed with signal 11 (Segmentation fault)", "called exit(3)", ...
    int signal;         // the signal, or 0 for exit, _exit and _Exit
    int status;         // the status the component asked for, for exit, _exit and _Exit
    const char* where;  // what setWhere() last said, "" if nothing
    const char* event;  // what setEvent() last said, "" if nothing
    const char* fault;  // for a fault on a known address, what lies there (faultDescriber), or ""
    std::uintptr_t pc;  // where a crash happened, 0 when unknown
    const std::uintptr_t* frames;  // the call stack at a crash, innermost first
    int frameCount;
    culprit by = culprit::component;
};

// Called once when an armed guard sees the process end; must be async-signal-safe. After it
// returns, the guard ends the process: a signal is raised again with the handler that was in place
// before (so a sanitizer still reports), an exit ends with `failingStatus`.
using reporter = void (*)(const ending& end);
// Says what lies at a faulting address (`write`: the access was a write), or returns null.
using fault_describer = const char* (*)(const void* address, bool write);

// Installs the signal handlers once; `report` replaces any earlier reporter.
void install(reporter report, int failingStatus);
// After a fatal signal has been reported, end with `failingStatus` too (true), instead of taking
// the signal again with the handler in place before (false, the default: a sanitizer's report
// still comes). For a program whose exit status is documented whatever ended it.
void endSignalsWithStatus(bool withStatus) noexcept;
// Gives the calling thread a stack of its own for the handlers, so that a stack overflow on it is
// reported too, unless it has one already. Once per thread; the stack lives as long as the thread.
void useAlternateStack() noexcept;
void arm(bool armed) noexcept;
bool armed() noexcept;
void describeFaultsWith(fault_describer describer) noexcept;

// Where the program is ("file.nelk:12", "check command-values"), copied and cut to fit.
void setWhere(const char* text) noexcept;
// The event being delivered ("kind 3 command \"Level=12\""), copied and cut to fit; kept in
// `buffer` of `size` bytes when given (a buffer another process reads), otherwise in the guard.
void setEvent(const char* text) noexcept;
void keepEventIn(char* buffer, std::size_t size) noexcept;
// The event setEvent() last said ("" if none); valid until the next setEvent().
const char* currentEvent() noexcept;

// Whose code runs, so that an ending is put down to the right side. The component's code runs
// while a component_code lives (calls into it, its library's loading and unloading); nelk-host's
// own work is marked with setHostWork(true) (a statement it runs). Host's thread; the thread that
// calls arm() is taken for the host's.
void enterComponent() noexcept;
void leaveComponent() noexcept;
struct component_code {
    component_code() noexcept { enterComponent(); }
    ~component_code() { leaveComponent(); }
    component_code(const component_code&) = delete;
    component_code& operator=(const component_code&) = delete;
};
void setHostWork(bool working) noexcept;
bool hostWork() noexcept;
// nelk-host's code run by a component's call (its hostSend): not the component's.
struct host_code {
    host_code() noexcept { leaveComponent(); }
    ~host_code() { enterComponent(); }
    host_code(const host_code&) = delete;
    host_code& operator=(const host_code&) = delete;
};

// The program itself ends the process through exit() now, on purpose: the exit functions and
// the end of exit() are no longer taken for the component's (a crash still is).
void exitOnPurpose() noexcept;
// Called by the exit functions this program provides in place of the C library's; reports and
// ends the process when armed, and otherwise returns so that the caller ends it as asked.
void processEnding(const char* function, int status) noexcept;

// Writes `text` whole to a file descriptor, as far as the system lets it.
void writeAll(int descriptor, const char* text) noexcept;
// Appends `text` to `buffer` (of `size` bytes, zero-terminated), cutting it to fit.
void append(char* buffer, std::size_t size, const char* text) noexcept;
void appendNumber(char* buffer, std::size_t size, long long value) noexcept;
// Appends "the component WHAT[: FAULT][ during EVENT]" for `end` to `buffer`, cutting it to fit;
// for an ending on a thread of the component's, "a thread the component started WHAT..."; for one
// in nelk-host's own work, "nelk-host itself WHAT ..., not the component".
void appendEnding(char* buffer, std::size_t size, const ending& end) noexcept;
// Appends `text` as the inside of a JSON string (quotes, backslashes and control bytes escaped).
void appendJson(char* buffer, std::size_t size, const char* text) noexcept;

}  // namespace nelk_process_guard
