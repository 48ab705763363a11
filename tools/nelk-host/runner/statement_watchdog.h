// The watchdog of a host that runs components in its own process (run --in-process, the prompt,
// Windows): a thread that ends the process with status 1 when one statement has run longer than
// its timeout, saying in the transcript's form which statement, for how long and during which
// call into the component, since a call that never returns cannot be taken back. Made, told and
// destroyed on the host's thread; between statements (the prompt waiting for a line) it waits.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "host/transcript.h"

namespace nelk_host_tool {

class statement_watchdog {
public:
    // `afterwards` ends the message: "the run cannot go on".
    statement_watchdog(double timeoutSeconds, transcript_style style, bool colour, std::string afterwards);
    ~statement_watchdog();
    statement_watchdog(const statement_watchdog&) = delete;
    statement_watchdog& operator=(const statement_watchdog&) = delete;

    // A statement begins ("file:line" and its text); the one before, if any, has ended.
    void begins(const std::string& where, const std::string& text);
    // No statement runs until the next begins().
    void ends();

private:
    void watch();

    double timeoutSeconds_;
    transcript_style style_;
    bool colour_;
    std::string afterwards_;
    std::mutex lock_;
    std::condition_variable changed_;
    unsigned long long statement_ = 0;  // counts begins() and ends()
    bool running_ = false;
    bool stopping_ = false;
    std::string where_;
    std::string text_;
    std::thread thread_;
};

}  // namespace nelk_host_tool
