#include "runner/statement_watchdog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "process/process_guard.h"
#include "runner/component_output.h"
#include "scenario_words.h"

namespace nelk_host_tool {

statement_watchdog::statement_watchdog(double timeoutSeconds, transcript_style style, bool colour, std::string afterwards)
    : timeoutSeconds_(timeoutSeconds), style_(style), colour_(colour), afterwards_(std::move(afterwards)),
      thread_([this] { watch(); }) {}

statement_watchdog::~statement_watchdog() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void statement_watchdog::begins(const std::string& where, const std::string& text) {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        ++statement_;
        running_ = true;
        where_ = where;
        text_ = text;
    }
    changed_.notify_all();
}

void statement_watchdog::ends() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        ++statement_;
        running_ = false;
    }
    changed_.notify_all();
}

void statement_watchdog::watch() {
    std::unique_lock<std::mutex> hold(lock_);
    const auto timeout = std::chrono::duration<double>(timeoutSeconds_);
    while (!stopping_) {
        if (!running_) {
            changed_.wait(hold);
            continue;
        }
        const unsigned long long watched = statement_;
        if (changed_.wait_for(hold, timeout, [&] { return stopping_ || statement_ != watched; })) continue;
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", timeoutSeconds_);
        const char* during = nelk_process_guard::currentEvent();
        transcript said(ownOutput(), style_, colour_);
        said.error(where_, "the component hung in `" + nelk_test_kit::escaped(text_, true) + "`: no result after " + limit +
                               " s" + (during[0] != '\0' ? std::string(" during ") + during : std::string()) + "; " +
                               afterwards_);
        std::fflush(nullptr);
        nelk_process_guard::exitOnPurpose();
        std::_Exit(1);
    }
}

}  // namespace nelk_host_tool
