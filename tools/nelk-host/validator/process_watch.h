// What the validator watches in the process that runs a check, kept where the parent (or, in
// one process, the watchdog) reads it: the calls into components so far, the progress a
// watchdog judges, and whether a process the component forked came back into the host's code.
// The counters may be written from any thread and read from another process.
#pragma once

#include <cstdint>

namespace nelk_validator {

// Counts calls into `progress` and forks that came back into `forked` (memory the parent reads,
// shared with any fork) from now on; null: counters of the process's own. Called before the
// check runs.
void watchIn(volatile std::uint64_t* progress, volatile int* forked) noexcept;
// The calls made into components so far.
std::uint64_t progress() noexcept;
// One more call into a component has returned.
void callReturned() noexcept;

// The host's process: the one the check began in. A call that returns in another process is a
// fork of the component's that came back into the host's code; it is noted (forkedReturns()
// counts it in every process of the check) and that process ends at once, quietly.
void noteHostProcess() noexcept;
void endIfForked() noexcept;
int forkedReturns() noexcept;

}  // namespace nelk_validator
