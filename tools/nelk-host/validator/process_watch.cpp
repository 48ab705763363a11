#include "process_watch.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace nelk_validator {

namespace {

volatile std::uint64_t ownProgress = 0;
volatile std::uint64_t* counter_ = &ownProgress;

// The process's own count of forks that came back: one shared page, so that a fork of the
// process still writes where the process reads.
volatile int* ownForked() {
#if defined(_WIN32)
    static volatile int count = 0;
    return &count;
#else
    static volatile int* shared = [] {
        void* page = mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        static volatile int fallback = 0;
        return page == MAP_FAILED ? &fallback : static_cast<volatile int*>(page);
    }();
    return shared;
#endif
}
volatile int* forked_ = nullptr;

volatile int* forked() { return forked_ != nullptr ? forked_ : ownForked(); }

#if !defined(_WIN32)
pid_t hostProcess = 0;
#endif

}  // namespace

void watchIn(volatile std::uint64_t* progress, volatile int* forked) noexcept {
    counter_ = progress != nullptr ? progress : &ownProgress;
    forked_ = forked;
}
std::uint64_t progress() noexcept { return *counter_; }
void callReturned() noexcept { *counter_ = *counter_ + 1; }

void noteHostProcess() noexcept {
    forked();  // made before any fork, so that every fork shares it
#if !defined(_WIN32)
    hostProcess = getpid();
#endif
}

void endIfForked() noexcept {
#if !defined(_WIN32)
    if (hostProcess == 0 || getpid() == hostProcess) return;
    volatile int* count = forked();
    *count = *count + 1;
    _exit(0);
#endif
}

int forkedReturns() noexcept { return *forked(); }

}  // namespace nelk_validator
