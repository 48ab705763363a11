// What a child process of nelk-host (a check of the validator, a scenario file of run) leaves for
// its parent, in memory the two share: a mapped file, so that it outlives a component that
// closes descriptors or ends the process, and survives an exec under valgrind. The child writes
// as it goes (its progress, the statement and the event it is at, then its result or what ended
// it); the parent watches the progress and reads the rest once the child has ended. POSIX only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nelk_host_tool {

struct child_report {
    volatile int finished;  // 1 once `result` is written
    char result[16384];     // the child's result (child_result.h), one JSON text
    char event[1024];       // the event being delivered, kept up to date by the process guard
    char where[512];        // the statement running, "file:line", for a child that runs statements
    char line[1024];        // and its text
    volatile int ended;     // 1 when the process guard saw the component end the process
    char ending[1536];      // what ended it, whose code it was, and during which event
    char fault[512];        // what lay at the faulting address, when the guard knew
    int signal;
    std::uint64_t pc;
    int frameCount;
    std::uint64_t frames[64];
    int moduleCount;
    struct module {
        std::uint64_t bias;
        char path[256];
    } modules[64];
    volatile std::uint64_t progress;  // calls into components (or statements) so far: the watchdog's measure
    volatile int hostThread;          // the thread that calls the components (a Linux thread id)
    volatile int hangCaught;          // 1 once the host thread's stack was taken for a TIMEOUT
    volatile int exitProbe;           // 1: the check's verdict stands if exit() ends the process cleanly
    volatile int forkedReturns;       // processes the component forked that came back into the host's code
};

// The mapping of a report file; the creator removes the file when done with it.
class report_file {
public:
    // A new, zeroed report in a temporary file; null with `problem` set when none can be made.
    static std::unique_ptr<report_file> create(std::string& problem);
    // The report at `path`, made by a parent; null when it cannot be mapped.
    static std::unique_ptr<report_file> open(const std::string& path);
    ~report_file();
    report_file(const report_file&) = delete;
    report_file& operator=(const report_file&) = delete;

    child_report& report() noexcept { return *report_; }
    const std::string& path() const noexcept { return path_; }

private:
    report_file(std::string path, child_report* report, bool owner) : path_(std::move(path)), report_(report), owner_(owner) {}
    std::string path_;
    child_report* report_;
    bool owner_;
};

// Makes the process guard write what ends this process, and the event being delivered, into
// `report`, and end it with `failingStatus`; called in the child before its work. From then on
// SIGUSR2 sent to the host thread (hostThread, set by noteHostThread) takes its stack into the
// report's frames: how the parent learns where a child hangs.
void reportEndingsTo(child_report& report, int failingStatus);
// The calling thread is the one that calls the components; it takes the stack for a hang.
void noteHostThread(child_report& report);
// The parent's side: asks the hung child's host thread for its stack and waits a moment for it;
// true when the report holds it.
bool takeHungStack(int child, child_report& report);

}  // namespace nelk_host_tool
