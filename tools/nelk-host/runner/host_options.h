// The options every subcommand that runs a host takes, and what is done with them before a host
// runs, without the command line's parser: what the demo, the guarded runs and the isolated files
// need. Main thread, which is the host's thread.
#pragma once

#include <string>

#include "host/delivery_queue.h"
#include "host/transcript.h"

namespace nelk_host_tool {

// The options every host subcommand takes.
struct host_options {
    bool json = false;
    bool quiet = false;
    bool immediate = false;
    bool noColour = false;
    std::string library;  // what "load" uses when it names none; made absolute by prepared()
    std::string callBudget;  // --call-budget as typed; "": the default
    std::string trace;       // --trace FILE; "": none

    transcript_style style() const {
        return json ? transcript_style::json : quiet ? transcript_style::quiet : transcript_style::readable;
    }
    delivery_mode mode() const { return immediate ? delivery_mode::immediate : delivery_mode::queued; }
    bool colour() const;  // on a terminal, unless --no-colour
};

// A number of seconds as typed for `option`, read strictly: from 0.001 to 86400, nothing else
// ("nan", "1e300" and "5s" are refused). False with `problem` saying so.
bool readSeconds(const std::string& option, const std::string& text, double& seconds, std::string& problem);

// The host options checked and made ready before a host runs: the library path absolute (so the
// load texts and saved scenarios are the same from any folder), the call budget set, the trace
// begun (reports/call_trace.h) under `processName`. False, with a message on standard error,
// when they exclude each other or one cannot be read.
bool prepared(host_options& options, const std::string& processName = "nelk-host");

// Without a subcommand: the built-in demo.
int runDemo(host_options& host);

}  // namespace nelk_host_tool
