// serve's worker process: the components live here, in a live session, so that one that crashes,
// ends the process or hangs takes this process down and not the server. The server starts it
// (`nelk-host serve-worker`), writes requests to its standard input, one JSON line each, and
// reads from descriptor 3 the transcript events of each request as they happen and then its
// result, one JSON line each:
//   {"op":"run","origin":O,"text":T}  statements, named O:LINE    -> events, {"done":true,"ok":B}
//   {"op":"file","path":P}            a scenario file              -> events, {"done":true,"ok":B}
//   {"op":"state"}                    the panels (state_json.h)    -> {"done":true,"state":{...}}
//   {"op":"scenario"}                 the session as a scenario   -> {"done":true,"scenario":"..."}
//   {"op":"watch"}                    reload changed libraries     -> events, {"done":true,"ok":true}
//   {"op":"tick","ms":N}              N ms of real time passed     -> events, {"done":true,"ok":true}
//   {"op":"quit"}                     delete the instances, end    -> events, {"done":true,"ok":true}
// What ends the process is said first, as {"ended":"the component ..."}. One thread.
#pragma once

#include <string>

#include "host/delivery_queue.h"

namespace nelk_host_tool {

struct serve_worker_options {
    std::string library;  // what "load" uses when it names none
    delivery_mode mode = delivery_mode::queued;
    bool clockRunning = true;  // the host's clock follows real time (statement: clock pause)
};

// Serves requests until "quit" or the end of its input; returns the exit status (0).
int runServeWorker(const serve_worker_options& options);

}  // namespace nelk_host_tool
