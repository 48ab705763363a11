// What the validator watches in the process that runs a check, kept where the parent (or, in
// one process, the watchdog) reads it: the calls into components so far, the progress a
// watchdog judges (forks that came back into the host's code: process/fork_watch.h). The counter
// may be written from any thread and read from another process.
#pragma once

#include <cstdint>

namespace nelk_validator {

// Counts calls into `progress` (memory the parent reads) from now on; null: a counter of the
// process's own. Called before the check runs.
void watchIn(volatile std::uint64_t* progress) noexcept;
// The calls made into components so far.
std::uint64_t progress() noexcept;
// One more call into a component has returned.
void callReturned() noexcept;

}  // namespace nelk_validator
