#include "runner/component_output.h"

#include <atomic>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace nelk_host_tool {

namespace {

std::atomic<std::FILE*> own{nullptr};

}  // namespace

std::FILE* ownOutput() {
    std::FILE* moved = own.load();
    return moved != nullptr ? moved : stdout;
}

int ownOutputDescriptor() {
#if defined(_WIN32)
    return 1;
#else
    std::FILE* moved = own.load();
    return moved != nullptr ? fileno(moved) : 1;
#endif
}

#if defined(_WIN32)

struct component_output::reader {};
component_output::component_output(transcript_style, bool) {}
component_output::~component_output() = default;

#else

// The pipe's reading end and the thread that tells what comes through it.
struct component_output::reader {
    int saved = -1;  // the standard output nelk-host started with
    int pipe = -1;   // the reading end
    std::atomic<bool> ending{false};
    std::thread thread;

    void run(transcript told) {
        std::string pending;
        char chunk[4096];
        for (;;) {
            pollfd watched{pipe, POLLIN, 0};
            const int ready = poll(&watched, 1, 50);
            if (ready == 0 && ending.load()) break;  // all written before the end has been read
            if (ready <= 0) continue;
            const ssize_t got = read(pipe, chunk, sizeof chunk);
            if (got <= 0) break;
            pending.append(chunk, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                told.note("stdout", pending.substr(0, end));
        }
        if (!pending.empty()) told.note("stdout", pending);
    }
};

component_output::component_output(transcript_style style, bool colour) {
    std::fflush(stdout);
    int ends[2];
    const int saved = fcntl(1, F_DUPFD_CLOEXEC, 100);
    if (saved < 0 || pipe2(ends, O_CLOEXEC) != 0) {
        if (saved >= 0) close(saved);
        return;
    }
    std::FILE* file = fdopen(saved, "w");
    if (file == nullptr) {
        close(saved);
        close(ends[0]);
        close(ends[1]);
        return;
    }
    dup2(ends[1], 1);  // the components' standard output, which their children inherit too
    close(ends[1]);
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);  // a component's line comes when it is written, as on a terminal
    reader_ = std::make_unique<reader>();
    reader_->saved = saved;
    reader_->pipe = ends[0];
    own.store(file);
    // Its own transcript in the run's form (quiet hides notes: a component's text is shown readable).
    const transcript_style shown = style == transcript_style::quiet ? transcript_style::readable : style;
    reader* reading = reader_.get();
    reader_->thread = std::thread([reading, file, shown, colour] { reading->run(transcript(file, shown, colour)); });
}

component_output::~component_output() {
    if (!reader_) return;
    std::fflush(stdout);  // what a component's stdio still holds goes to the pipe first
    reader_->ending.store(true);
    reader_->thread.join();
    std::FILE* file = own.exchange(nullptr);
    std::fflush(file);
    dup2(reader_->saved, 1);
    std::fclose(file);  // closes `saved`
    close(reader_->pipe);
}

#endif

}  // namespace nelk_host_tool
