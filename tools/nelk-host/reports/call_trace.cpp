#include "call_trace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/call_timing.h"
#include "process/private_files.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace nelk_host_tool {

namespace {

struct trace_session {
    std::string file;
    std::string part;
    long owner = 0;  // the process that began it
    bool finished = true;
};
trace_session session;

long processId() {
#if defined(_WIN32)
    return 1;
#else
    return static_cast<long>(getpid());
#endif
}

void finishAtExit() {
    std::string problem;
    if (!finishCallTrace(problem)) std::fprintf(stderr, "nelk-host: --trace: %s\n", problem.c_str());
}

}  // namespace

std::string chromeTrace(const std::string& partLines) {
    std::vector<std::pair<long long, std::string>> events;  // by time; metadata first
    std::istringstream lines(partLines);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.front() != '{' || line.back() != '}') continue;  // cut short by a process's end
        nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        if (!event.is_object()) continue;
        const long long at = event.value("ph", "") == "M" ? -1 : event.value("ts", 0LL);
        events.emplace_back(at, std::move(line));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = "{\"displayTimeUnit\":\"ms\",\"traceEvents\":[\n";
    for (std::size_t i = 0; i < events.size(); ++i) text += events[i].second + (i + 1 < events.size() ? ",\n" : "\n");
    return text + "]}\n";
}

bool beginCallTrace(const std::string& file, const std::string& processName, std::string& problem) {
    std::error_code ignored;
    const std::string absolute = std::filesystem::absolute(file, ignored).string();
    if (!writeOwnFile(absolute, "", problem) || !writeOwnFile(absolute + ".part", "", problem)) {
        problem = "--trace " + file + ": " + problem;
        return false;
    }
    const bool first = session.owner == 0;
    session = {absolute, absolute + ".part", processId(), false};
    traceCallsTo(session.part, processName);
    if (first) std::atexit(finishAtExit);
    return true;
}

bool finishCallTrace(std::string& problem) {
    if (session.finished || session.owner != processId()) return true;  // a forked child leaves it to its parent
    session.finished = true;
    traceCallsTo("", "");
    std::ifstream in(session.part, std::ios::binary);
    std::stringstream lines;
    lines << in.rdbuf();
    in.close();
    std::remove(session.part.c_str());
    if (!writeOwnFile(session.file, chromeTrace(lines.str()), problem)) {
        problem = session.file + ": " + problem;
        return false;
    }
    return true;
}

}  // namespace nelk_host_tool
