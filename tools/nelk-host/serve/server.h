// nelk-host serve: the panels of a live host session drawn in a browser, with the protocol
// running beside them. Runs scenario files (or the built-in demo) first and keeps their
// instances, then serves one page and a small API (docs/serve.md) until SIGINT or SIGTERM, when
// it deletes the instances as a host does. Main thread: it is the host's thread.
#pragma once

#include <string>
#include <vector>

#include "host/delivery_queue.h"
#include "host/transcript.h"

namespace nelk_host_tool {

struct serve_options {
    std::vector<std::string> files;  // scenario files to run first; none: the demo
    std::string library;             // what "load" uses when it names none
    std::string bind = "127.0.0.1";  // the address listened on
    int port = 6355;                 // 0: a free port, printed
    bool watch = false;              // reload a library whose file changed
    transcript_style style = transcript_style::readable;
    bool colour = false;
    delivery_mode mode = delivery_mode::queued;
};

// Returns 0 after a signal ended it, 2 when it cannot listen.
int runServe(const serve_options& options);

}  // namespace nelk_host_tool
