// The time a thread spent in components' own code: inside a call into a component and not
// inside the host's function (hostSend) that the component called, which is the host's time
// however long the host takes to carry a line out. The watchdogs judge a component by it, so
// that a host slow at handling a million lines does not call the component hung. Each thread
// keeps its own; a component's own thread calling hostSend counts nothing.
#pragma once

#include <atomic>
#include <cstdint>

namespace nelk_host_tool {

// Marks of the calls, in pairs, on the thread that makes them (component_time_scope below).
void componentCallBegins();
void componentCallEnds();
void hostCallBegins();
void hostCallEnds();

// The seconds this thread spent in components' code so far, the call under way included.
double componentSeconds();

// For a watchdog that judges progress by a counter (a file's process in run): from now on each
// host call that ends on this thread while the components' time in the current statement is
// within `limitSeconds` raises `*counter`, so that a host busy carrying out a flood of lines makes
// progress, and a component that runs away sending lines makes none once its own time is spent.
// `counter` must outlive the process's calls; this thread's.
void countHostCallsWithin(volatile std::uint64_t* counter, double limitSeconds);
// A statement begins: its components' time is counted from here.
void componentStatementBegins();

// From now on `flag` says whether a component's own code runs on the calling thread, for another
// thread to read (a heartbeat that speaks only for the host's own work). `flag` must outlive the
// thread's calls.
void publishComponentRunning(std::atomic<bool>* flag);

// A call into a component (component: true) or into the host's function (false) for the
// scope's lifetime.
class component_time_scope {
public:
    explicit component_time_scope(bool component) : component_(component) {
        component_ ? componentCallBegins() : hostCallBegins();
    }
    ~component_time_scope() { component_ ? componentCallEnds() : hostCallEnds(); }
    component_time_scope(const component_time_scope&) = delete;
    component_time_scope& operator=(const component_time_scope&) = delete;

private:
    bool component_;
};

}  // namespace nelk_host_tool
