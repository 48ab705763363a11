// A copy of the host's process that a component forked and let return into nelk-host's code (a
// helper whose exec failed, a child that returned from the call) would run the rest of the
// session a second time. Every call into a component ends with endIfForked(): in the copy it
// notes the event it was forked during, where the host's process reads it, and ends the copy at
// once and quietly. Any thread; the note lives in a page shared with every fork.
#pragma once

namespace nelk_host_tool {

// The calling process is the host's from now on (before any component is loaded); the page the
// copies write to is made now, so that every later fork shares it.
void noteHostProcess() noexcept;
// Copies also count into `counter` (memory another process reads, shared with any fork), or,
// when null, into the process's own page only.
void countForkedReturnsIn(volatile int* counter) noexcept;
// In a copy made by a fork: notes it (with the event being delivered) and ends the copy, with
// status 0 and no output. In the host's process: nothing.
void endIfForked() noexcept;
// How many copies came back so far, and the event the newest was forked during ("" if none);
// the text is valid until the next copy comes back.
int forkedReturns() noexcept;
const char* forkedDuring() noexcept;

}  // namespace nelk_host_tool
