// The front door of nelk-host serve: it accepts the connections of the server's listening socket
// itself and holds each, with no thread of its own, until the head of its request (the request
// line and the headers) has arrived, and only then gives it to the server's threads. A client
// that sends its head a byte at a time, or nothing, costs a descriptor until the head deadline
// and never a thread; when more such connections wait than `mostWaiting`, the oldest is closed.
// Every connection answers one request and is closed (no keep-alive), so that a second request
// passes the door as the first did.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace httplib {
class Server;
class TaskQueue;
}  // namespace httplib

namespace nelk_host_tool {

struct gate_limits {
    std::chrono::milliseconds headDeadline{10000};  // from the accept to the head's last byte
    std::size_t mostWaiting = 128;                  // connections whose head has not yet come
    std::size_t threads = 32;                       // the server's threads, which answer heads that came
};

// One per server, made and started on one thread and stopped on that thread. `server` must be
// bound (bind_to_port) and must outlive the gate; `listening` is its listening socket (as the
// server's socket-options hook saw it), which the gate then owns and closes at stop().
class connection_gate {
public:
    connection_gate(httplib::Server& server, int listening, gate_limits limits = {});
    ~connection_gate();  // stops it
    connection_gate(const connection_gate&) = delete;
    connection_gate& operator=(const connection_gate&) = delete;

    // Starts accepting on a thread of the gate's; false with errno set when it cannot.
    bool start();
    // Closes the listening socket and every waiting connection, then waits for the requests being
    // answered to end (an event stream ends when its log is closed).
    void stop();

    // Connections closed so far because their head did not come in time or too many waited; for
    // tests and the end report.
    std::size_t turnedAway() const { return turnedAway_.load(); }

private:
    void run();

    httplib::Server& server_;
    int listening_;
    gate_limits limits_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::unique_ptr<httplib::TaskQueue> threads_;
    std::atomic<std::size_t> turnedAway_{0};
};

}  // namespace nelk_host_tool
