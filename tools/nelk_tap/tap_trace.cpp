#include "tap_trace.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "scenario_words.h"

namespace nelk_tap {

using nelk_test_kit::escaped;
using nelk_test_kit::statementWord;

namespace {

// `path` relative to the folder of `from` (both as given), or as it is when they share nothing.
std::string relativeTo(const std::string& from, const std::string& path) {
    const std::size_t slash = from.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : from.substr(0, slash + 1);
    if (!folder.empty() && path.compare(0, folder.size(), folder) == 0) return path.substr(folder.size());
    return path;
}

}  // namespace

namespace {

// `path` opened for a new trace: on POSIX a symbolic link there is refused (one planted in a
// shared folder would have another file replaced), the file made private to its user.
std::FILE* openTrace(const std::string& path, std::string& problem) {
#if defined(_WIN32)
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) problem = "cannot write the trace " + path + ": " + std::strerror(errno);
    return file;
#else
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    std::FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
    if (file == nullptr) {
        problem = "cannot write the trace " + path + ": " +
                  (errno == ELOOP ? std::string("a symbolic link stands there") : std::string(std::strerror(errno)));
        if (descriptor >= 0) close(descriptor);
    }
    return file;
#endif
}

}  // namespace

trace_writer::trace_writer(const std::string& path, const std::string& library) : library_(library) {
    file_ = openTrace(path, problem_);
    if (file_ == nullptr) return;
    line("# What a host did to the component in " + escaped(library) + " and what it did back, as");
    line("# nelk_tap saw it (docs/tap.md). `nelk-host run` on this file replays it and stops at the");
    line("# first place where the component now does something else. Comments show each event as it");
    line("# came, with its time; the statements after them replay it.");
    line("library " + statementWord(relativeTo(path, library)));
    line("delivery none");
}

trace_writer::~trace_writer() {
    if (file_ != nullptr) std::fclose(file_);
}

long long trace_writer::milliseconds() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
}

void trace_writer::line(const std::string& text) {
    if (file_ == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

std::string trace_writer::newInstance() {
    std::lock_guard<std::mutex> hold(lock_);
    return "T" + std::to_string(++instances_);
}

std::string trace_writer::loadStatement(const std::string& instance, const char* text) {
    std::lock_guard<std::mutex> hold(lock_);
    if (text == nullptr) return nelk_test_kit::loadStatement(instance, text);
    const std::string given(text);
    // Shorter texts ("", "/", "C:") would stand for too much of the lines they occur in.
    if (given.size() >= 3) loadTexts_[instance] = given;
    const std::size_t slash = library_.find_last_of("/\\");
    if (slash != std::string::npos && given == library_.substr(0, slash)) return "load " + instance + " default";
    return nelk_test_kit::loadStatement(instance, text);
}

std::string trace_writer::portable(const std::string& instance, std::string text) const {
    const auto found = loadTexts_.find(instance);
    if (found == loadTexts_.end()) return text;
    const std::string& loadText = found->second;
    static const std::string placeholder = "${load-text}";
    for (std::size_t at = 0; (at = text.find(loadText, at)) != std::string::npos; at += placeholder.size())
        text.replace(at, loadText.size(), placeholder);
    return text;
}

void trace_writer::begin(const std::string& instance, const std::string& statement) {
    std::lock_guard<std::mutex> hold(lock_);
    const std::thread::id thread = std::this_thread::get_id();
    line("# " + std::to_string(milliseconds()) + " ms > " + statement);
    if (!open_.empty() && open_.back().thread != thread) {
        line("#   (this call came on another thread while " + open_.back().instance +
             "'s call was in progress: the calls overlap, and the lines below may be paired with the wrong statement)");
    }
    open_.push_back(event{thread, instance, statement, {}, {}});
}

void trace_writer::sent(const std::string& instance, const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    line("#   " + instance + " < " + escaped(text, true));
    if (open_.empty()) {
        line("#   (sent while no call into it was in progress: nelk-host refuses such a line)");
        return;
    }
    event& current = open_.back();
    if (current.sent.empty() || current.sent.back().first != instance) current.sent.emplace_back(instance, std::vector<std::string>());
    current.sent.back().second.push_back(text);
}

void trace_writer::answeredPanel(const std::string& instance, const std::string& line, std::intptr_t answer) {
    std::lock_guard<std::mutex> hold(lock_);
    this->line("#   " + instance + " -> " + std::to_string(answer));
    // A replay answers with a 32-bit number; a host's pointer beyond that is replayed as 1, which
    // is as much as a component may read from it (shown or not).
    const bool fits = answer >= INT32_MIN && answer <= INT32_MAX;
    if (!fits) this->line("#   (a pointer beyond 32 bits: the replay answers 1)");
    if (!open_.empty())
        open_.back().answers.push_back(
            nelk_test_kit::answerStatement(instance, portable(instance, line), fits ? std::to_string(answer) : "1"));
}

void trace_writer::answeredText(const std::string& instance, const std::string& line, const char* answer) {
    std::lock_guard<std::mutex> hold(lock_);
    const std::string word = answer == nullptr ? "null" : statementWord(portable(instance, answer));
    this->line("#   " + instance + " -> " + nelk_test_kit::answerWord(answer));
    if (!open_.empty()) open_.back().answers.push_back(nelk_test_kit::answerStatement(instance, portable(instance, line), word));
}

void trace_writer::note(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    line("#   " + text);
}

void trace_writer::write(const event& done) {
    // The block in one write: it is whole or not there.
    std::string block;
    for (const std::string& answer : done.answers) block += answer + "\n";
    block += done.statement + "\n";
    for (const auto& sent : done.sent) {
        block += "expect " + sent.first;
        for (const std::string& text : sent.second) block += " " + statementWord(portable(sent.first, text));
        block += "\n";
    }
    block.pop_back();
    line(block);
}

void trace_writer::end(const std::string& suffix) {
    std::lock_guard<std::mutex> hold(lock_);
    if (open_.empty()) return;
    event done = std::move(open_.back());
    open_.pop_back();
    done.statement += suffix;
    if (!open_.empty()) {
        nested_.push_back(std::move(done));
        return;
    }
    write(done);
    for (const event& inner : nested_) write(inner);
    nested_.clear();
}

}  // namespace nelk_tap
