#include "connection_gate.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <httplib.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nelk_host_tool {

namespace {

// The library answers a connection with Server::process_and_close_socket, which it keeps to
// itself, for its own accept loop. The gate is that loop's replacement, so it names the function
// the one way C++ allows from outside: as the argument of an explicit instantiation, to which
// access rules do not apply. Called on a plain httplib::Server it is the library's own answer.
using connection_answer = bool (httplib::Server::*)(socket_t);
connection_answer libraryAnswer();
template <connection_answer answer>
struct library_answer_access {
    friend connection_answer libraryAnswer() { return answer; }
};
template struct library_answer_access<&httplib::Server::process_and_close_socket>;

// The longest head the gate waits for; a longer one is not a page's or a script's.
const std::size_t longestHead = 16 * 1024;

// What a connection has sent so far, looked at without taking it.
enum class head_state { complete, incomplete, gone };

head_state headOf(int connection) {
    static thread_local std::vector<char> seen(longestHead);
    const ssize_t got = recv(connection, seen.data(), seen.size(), MSG_PEEK | MSG_DONTWAIT);
    if (got == 0) return head_state::gone;
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? head_state::incomplete : head_state::gone;
    const std::string_view text(seen.data(), static_cast<std::size_t>(got));
    if (text.find("\r\n\r\n") != text.npos || text.find("\n\n") != text.npos) return head_state::complete;
    return static_cast<std::size_t>(got) >= longestHead ? head_state::gone : head_state::incomplete;
}

// The library's own accept loop sets these on each connection; the gate does so in its place.
void setTimeouts(int connection) {
    timeval seconds{5, 0};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &seconds, sizeof seconds);
    setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &seconds, sizeof seconds);
}

struct waiting_connection {
    int socket;
    std::chrono::steady_clock::time_point deadline;
};

}  // namespace

connection_gate::connection_gate(httplib::Server& server, int listening, gate_limits limits)
    : server_(server), listening_(listening), limits_(limits) {}

connection_gate::~connection_gate() { stop(); }

bool connection_gate::start() {
    if (listening_ < 0 || pipe2(wake_, O_CLOEXEC) != 0) return false;
    fcntl(listening_, F_SETFL, fcntl(listening_, F_GETFL) | O_NONBLOCK);
    threads_.reset(new httplib::ThreadPool(limits_.threads));
    thread_ = std::thread([this] { run(); });
    return true;
}

void connection_gate::stop() {
    if (thread_.joinable()) {
        const char stopNow = 's';
        if (write(wake_[1], &stopNow, 1) != 1) std::perror("nelk-host: the connection gate's stop");
        thread_.join();
    }
    if (listening_ >= 0) {
        shutdown(listening_, SHUT_RDWR);
        close(listening_);
        listening_ = -1;
    }
    if (threads_) {
        threads_->shutdown();  // the requests being answered end first
        threads_.reset();
    }
    for (int& end : wake_) {
        if (end >= 0) close(end);
        end = -1;
    }
}

namespace {

// The connections the gate holds, oldest first, and the epoll set that watches them with the
// listening socket and the stop pipe. The gate's thread only.
class waiting_room {
public:
    waiting_room(int listening, int wake, httplib::Server& server, httplib::TaskQueue& threads,
                 const gate_limits& limits, std::atomic<std::size_t>& turnedAway)
        : events_(epoll_create1(EPOLL_CLOEXEC)), listening_(listening), wake_(wake), server_(server),
          threads_(threads), limits_(limits), turnedAway_(turnedAway) {
        watch(listening_, EPOLLIN);
        watch(wake_, EPOLLIN);
    }
    ~waiting_room() {
        for (const waiting_connection& connection : waiting_) close(connection.socket);
        close(events_);
    }

    // Waits for what comes, until a stop; true while the gate goes on.
    bool serveOnce() {
        expire();
        int wait = -1;
        if (!waiting_.empty()) {
            const auto left = waiting_.front().deadline - std::chrono::steady_clock::now();
            wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1);
        }
        epoll_event ready[64];
        const int count = epoll_wait(events_, ready, 64, wait);
        bool stopping = false;
        for (int i = 0; i < count; ++i) {
            const int socket = ready[i].data.fd;
            if (socket == wake_) stopping = true;
            if (socket == listening_) acceptAll();
            const bool hungUp = (ready[i].events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0;
            for (std::size_t at = 0; at < waiting_.size(); ++at) {
                if (waiting_[at].socket == socket) {
                    look(at, hungUp);
                    break;
                }
            }
        }
        return !stopping;
    }

private:
    void watch(int socket, std::uint32_t what) {
        epoll_event event{};
        event.events = what;
        event.data.fd = socket;
        epoll_ctl(events_, EPOLL_CTL_ADD, socket, &event);
    }

    // Takes the connection at `at` out of the room: to the server's threads, or closed.
    void release(std::size_t at, bool answer) {
        const int socket = waiting_[at].socket;
        waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(at));
        epoll_ctl(events_, EPOLL_CTL_DEL, socket, nullptr);
        if (!answer) {
            ++turnedAway_;
            close(socket);
            return;
        }
        httplib::Server& server = server_;
        threads_.enqueue([&server, socket] { (server.*libraryAnswer())(socket); });
    }

    // A client that went away before its head was whole frees its place at once.
    void look(std::size_t at, bool hungUp = false) {
        const head_state head = headOf(waiting_[at].socket);
        if (head != head_state::incomplete || hungUp) release(at, head == head_state::complete);
    }

    void acceptAll() {
        for (;;) {
            const int socket = accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0) return;
            setTimeouts(socket);
            waiting_.push_back({socket, std::chrono::steady_clock::now() + limits_.headDeadline});
            watch(socket, EPOLLIN | EPOLLRDHUP | EPOLLET);  // each new byte wakes the gate once
            look(waiting_.size() - 1);
            if (waiting_.size() > limits_.mostWaiting) release(0, false);
        }
    }

    void expire() {
        const auto now = std::chrono::steady_clock::now();
        while (!waiting_.empty() && waiting_.front().deadline <= now) release(0, false);
    }

    int events_;
    int listening_;
    int wake_;
    httplib::Server& server_;
    httplib::TaskQueue& threads_;
    const gate_limits& limits_;
    std::atomic<std::size_t>& turnedAway_;
    std::vector<waiting_connection> waiting_;
};

}  // namespace

void connection_gate::run() {
    waiting_room room(listening_, wake_[0], server_, *threads_, limits_, turnedAway_);
    while (room.serveOnce()) {
    }
}

}  // namespace nelk_host_tool
