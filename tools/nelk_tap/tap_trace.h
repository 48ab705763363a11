// The tap's trace: what the host did to the components and what they did back, written as a
// scenario of nelk-host's language (docs/tap.md) as it happens, every line flushed, so that it
// holds everything up to a crash of the host or of the component.
//
// Every call into a component is an event. When it begins a comment says so, with its time
// ("# 1204 ms > command T1 \"text=Camera 1\""), and every line the component sends is a comment
// as it comes. When the outermost call returns, the statements that replay it follow: the
// host's answers to the lines it sent ("answer"), the statement, and the lines each instance
// sent ("expect"); an event the host made from inside another (a nested call) comes after the
// one it came in. Thread-safe: a component may send from a thread of its own. A call that begins
// on another thread while one is in progress (a host calling from two threads at once) is noted
// where it begins, since its lines may then be paired with the wrong statement.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nelk_tap {

class trace_writer {
public:
    // Writes a new trace at `path` (replacing a file that is there, never following a symbolic
    // link) for the real library at `library`, which the trace names relative to its own folder.
    trace_writer(const std::string& path, const std::string& library);
    ~trace_writer();
    trace_writer(const trace_writer&) = delete;
    trace_writer& operator=(const trace_writer&) = delete;

    bool open() const noexcept { return file_ != nullptr; }
    // Why the trace could not be opened ("cannot write the trace PATH: ..."); valid while this lives.
    const std::string& problem() const noexcept { return problem_; }
    // The name of a new instance: T1, T2, ...
    std::string newInstance();

    // The statement that replays the creation of `instance` with the load text `text` (null
    // allowed): "load T1 default" when the text is the real library's folder, as hosts give it,
    // so that the trace replays wherever that folder is. From then on the load text in the
    // instance's lines and answers is written as ${load-text}.
    std::string loadStatement(const std::string& instance, const char* text);
    // An event begins, which `statement` replays; `instance` names its instance.
    void begin(const std::string& instance, const std::string& statement);
    // A line the instance sends, as the host gets it (before its answer, which may make calls of
    // its own), then what the host answered: for "PS" the number (a pointer-sized value), for
    // "TG" and "XI" the text (null allowed); the answers of lines the host only carries out are
    // not asked for. Texts are read during the call only.
    void sent(const std::string& instance, const std::string& line);
    void answeredPanel(const std::string& instance, const std::string& line, std::intptr_t answer);
    void answeredText(const std::string& instance, const std::string& line, const char* answer);
    // Anything else worth knowing, as a comment: give-backs, what the tap cannot replay.
    void note(const std::string& text);
    // The event ends; `suffix` is added to its statement (" -> \"answer\"" for a command).
    void end(const std::string& suffix = "");

private:
    struct event {
        std::thread::id thread;  // where the call was made
        std::string instance;
        std::string statement;
        std::vector<std::string> answers;                                    // "answer" statements
        std::vector<std::pair<std::string, std::vector<std::string>>> sent;  // instance -> lines
    };
    void line(const std::string& text);
    void write(const event& done);
    // `text` with the load text of `instance` written as ${load-text}.
    std::string portable(const std::string& instance, std::string text) const;
    long long milliseconds() const;

    std::mutex lock_;
    std::FILE* file_ = nullptr;
    std::string problem_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    int instances_ = 0;
    std::string library_;                          // the real library, as configured
    std::map<std::string, std::string> loadTexts_;  // instance -> its load text, where it has one worth replacing
    std::vector<event> open_;     // the events in progress, outermost first
    std::vector<event> nested_;   // finished inside an outer one: written after it
};

}  // namespace nelk_tap
