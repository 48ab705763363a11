// What the components of a run write to standard output (a printf, std::cout, a helper program
// they start), kept out of nelk-host's own output: while a component_output lives, descriptor 1
// is a pipe that a thread of its own reads, and each line that comes is told as a note of
// "stdout" in the run's transcript form (one JSON object a line with --json), so that neither
// the readable transcript nor the JSON one is broken by a component's text glued into it.
// nelk-host's own output goes to ownOutput() meanwhile. POSIX; elsewhere it does nothing.
#pragma once

#include <cstdio>
#include <memory>

#include "host/transcript.h"

namespace nelk_host_tool {

// Where nelk-host writes its own transcript in this process: a copy of the standard output it
// started with while a component_output lives, standard output otherwise. Valid until that
// component_output ends; any thread.
std::FILE* ownOutput();
// The descriptor of ownOutput(), for the writers that run in a signal handler.
int ownOutputDescriptor();

// One at a time, made and ended on the host's thread, around a run's components (made before
// the first is loaded, ended after the last is deleted). Where the pipe cannot be made it moves
// nothing, and the components write where nelk-host does, as before.
class component_output {
public:
    component_output(transcript_style style, bool colour);
    ~component_output();  // what the components wrote until then is told; descriptor 1 is restored
    component_output(const component_output&) = delete;
    component_output& operator=(const component_output&) = delete;

private:
    struct reader;
    std::unique_ptr<reader> reader_;
};

}  // namespace nelk_host_tool
