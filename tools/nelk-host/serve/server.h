// nelk-host serve: the panels of a live host session drawn in a browser, with the protocol
// running beside them. The components live in a worker process (served_session.h), so that one
// that crashes or hangs is reported with its culprit while the server stays up. Runs scenario
// files (or the built-in demo) first, then serves one page and a small API (docs/serve.md), which
// only a holder of the session's token may drive, until SIGINT or SIGTERM, when the instances are
// deleted as a host does. Main thread: it is the host's thread.
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
    double timeoutSeconds = 5;       // a statement still running after this long is a hang
    std::string token;               // what the API asks for; empty: a random one, printed
    bool noToken = false;            // no token at all: on loopback only, when asked for
    transcript_style style = transcript_style::readable;
    bool colour = false;
    delivery_mode mode = delivery_mode::queued;
    std::vector<std::string> workerCommand;  // this program and the arguments that make it a worker
    std::string screenshot;          // a PNG of the page to take once the files ran, then end
    int windowWidth = 1280;          // the picture's size
    int windowHeight = 900;
};

// Returns 0 after a signal ended it (or the picture was taken), 1 when the picture could not be
// taken or a component hung or crashed while its instances were deleted at the end, 2 when it
// cannot listen or start its worker.
int runServe(const serve_options& options);

}  // namespace nelk_host_tool
