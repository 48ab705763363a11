#include "runner/scenario_host.h"

#include <cstdio>

#include "component_library.h"
#include "host_rules.h"
#include "process/process_guard.h"

namespace nelk_host_tool {

namespace {

// How the guard's message is said, and who else hears of it; set before it is armed.
bool jsonTranscript = false;
const char* afterEnding = "";
nelk_process_guard::reporter alsoTell = nullptr;

// Says at the statement that ran, in the transcript's own form, that the component ended the
// process; runs inside a signal handler or an exit function.
void componentEndedTheRun(const nelk_process_guard::ending& end) {
    using nelk_process_guard::append;
    char text[2048] = "";
    nelk_process_guard::appendEnding(text, sizeof text, end);
    append(text, sizeof text, "; ");
    append(text, sizeof text, afterEnding);
    const char* where = end.where[0] != '\0' ? end.where : "nelk-host";
    char line[4096] = "";
    if (jsonTranscript) {
        append(line, sizeof line, "{\"event\":\"error\",\"where\":\"");
        nelk_process_guard::appendJson(line, sizeof line, where);
        append(line, sizeof line, "\",\"text\":\"");
        nelk_process_guard::appendJson(line, sizeof line, text);
        append(line, sizeof line, "\"}\n");
    } else {
        append(line, sizeof line, where);
        append(line, sizeof line, ": error: ");
        append(line, sizeof line, text);
        append(line, sizeof line, "\n");
    }
    nelk_process_guard::writeAll(ownOutputDescriptor(), line);
    if (alsoTell != nullptr) alsoTell(end);
}

}  // namespace

guarded_run::guarded_run(const host_options& options, const char* afterwards, nelk_process_guard::reporter also) {
    jsonTranscript = options.json;
    afterEnding = afterwards;
    alsoTell = also;
    nelk_process_guard::install(componentEndedTheRun, 1);
    nelk_process_guard::arm(true);
}

guarded_run::~guarded_run() { nelk_process_guard::arm(false); }

bool loadable(const std::string& library) {
    nelk_test_kit::component_library probe(library);
    if (probe.loaded()) return true;
    std::fprintf(stderr, "nelk-host: %s\n", nelk_test_kit::escaped(probe.error(), true).c_str());
    return false;
}

int exitStatus(statement_result result) {
    switch (result) {
    case statement_result::ok: return 0;
    case statement_result::load_failed: return 2;
    case statement_result::failed:
    case statement_result::malformed: return 1;
    }
    return 1;
}

}  // namespace nelk_host_tool
