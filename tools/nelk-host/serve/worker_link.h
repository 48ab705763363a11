// The server's side of its worker process (worker.h): starts it, hands it one request at a time
// and reads the request's events and result, and tells how it failed when it did: ended (a crash,
// an exit, said by the worker's process guard), hung (no new statement within the timeout), gone
// (ended without a word), or stopped (the server is stopping). Host's thread; stop() any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "process/child_result.h"
#include "process/supervised_child.h"

namespace nelk_host_tool {

class worker_link {
public:
    // command: the worker's program and arguments (argv).
    explicit worker_link(std::vector<std::string> command);
    ~worker_link();  // ends the worker
    worker_link(const worker_link&) = delete;
    worker_link& operator=(const worker_link&) = delete;

    // Starts a worker (ending one that runs); false with `problem` when it cannot.
    bool start(std::string& problem);
    bool running() const noexcept { return child_.running(); }

    enum class outcome { done, ended, hung, gone, stopped };
    struct exchange {
        outcome how = outcome::gone;
        child_result result;            // the worker's result, when done (verdict 1: ok)
        std::string ending;             // what the worker said ended it, when ended
        std::string status;             // how its process ended, when not done ("signal 9", "status 1")
    };
    // Sends `request` and hands every event of it to `onEvent` until its result. A statement whose
    // components spent longer than `timeoutSeconds` in their own code (component_time.h), or a
    // worker that sends nothing for that long, is a hang: the worker is ended. The time the server
    // and the worker take to carry lines out is not the component's. The worker is gone after any
    // outcome but done.
    exchange ask(const nlohmann::ordered_json& request, double timeoutSeconds,
                 const std::function<void(const nlohmann::ordered_json& event)>& onEvent);

    // Asks the worker to delete its instances and end, handing the events of it to `onEvent`,
    // within `graceSeconds`; ends it after. How that went: done (also when no worker ran), or how
    // it failed (a deletion that hung or crashed).
    exchange finish(double graceSeconds, const std::function<void(const nlohmann::ordered_json& event)>& onEvent);
    // Makes a waiting ask() return `stopped` at once, for good; any thread, signal watchers too.
    void stop();

private:
    void end();
    bool readLine(std::string& line, double seconds, bool& timedOut);

    std::vector<std::string> command_;
    supervised_child child_;
    int requests_ = -1;  // the worker's standard input
    int replies_ = -1;   // its descriptor 3
    int stopRead_ = -1;  // a pipe that stop() writes to
    int stopWrite_ = -1;
    std::string buffered_;       // what the worker sent that is not read yet, from `readFrom_`
    std::size_t readFrom_ = 0;
    std::size_t searchedTo_ = 0;  // no line's end before this
};

}  // namespace nelk_host_tool
