#include "fork_watch.h"

#include "process_guard.h"

#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace nelk_host_tool {

namespace {

struct fork_note {
    volatile int count;
    char event[1024];
};

// One page shared with every fork of the process.
fork_note* note() {
#if defined(_WIN32)
    static fork_note own{};
    return &own;
#else
    static fork_note* shared = [] {
        void* page = mmap(nullptr, sizeof(fork_note), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        static fork_note fallback{};
        return page == MAP_FAILED ? &fallback : static_cast<fork_note*>(page);
    }();
    return shared;
#endif
}

volatile int* counter_ = nullptr;
#if !defined(_WIN32)
pid_t hostProcess_ = 0;
#endif

}  // namespace

void noteHostProcess() noexcept {
    note();
#if !defined(_WIN32)
    hostProcess_ = getpid();
#endif
}

void countForkedReturnsIn(volatile int* counter) noexcept { counter_ = counter; }

void endIfForked() noexcept {
#if !defined(_WIN32)
    if (hostProcess_ == 0 || getpid() == hostProcess_) return;
    fork_note* shared = note();
    shared->event[0] = '\0';
    nelk_process_guard::append(shared->event, sizeof shared->event, nelk_process_guard::currentEvent());
    shared->count = shared->count + 1;
    if (counter_ != nullptr) *counter_ = *counter_ + 1;
    // Ended on purpose and without a word: the copy's buffered output is the host's, not its own.
    nelk_process_guard::exitOnPurpose();
    _exit(0);
#endif
}

int forkedReturns() noexcept { return note()->count; }

const char* forkedDuring() noexcept { return note()->event; }

}  // namespace nelk_host_tool
