#include "scenario.h"

#include <fstream>
#include <new>
#include <optional>
#include <sstream>

#include "host/call_timing.h"
#include "process/executable_path.h"
#include "host_rules.h"
#include "process/process_guard.h"

namespace nelk_host_tool {

scenario_runner::scenario_runner(headless_host& host, transcript& output, std::string defaultLibrary)
    : host_(host), output_(output), defaultLibrary_(resolvedLibraryPath("", defaultLibrary)) {}

statement_result scenario_runner::fail(const std::string& where, const std::string& text) {
    output_.error(where, text);
    return statement_result::failed;
}

void scenario_runner::inFolderOf(const std::string& path) { directory_ = directoryOf(path); }

namespace {

// The whole file, or nullopt when nelk-host's memory ran out first (a file without end, such as
// /dev/zero, under a memory limit): nelk-host's own failure, marked so for the process guard.
std::optional<std::string> readWhole(std::ifstream& input) {
    const bool outer = nelk_process_guard::hostWork();
    nelk_process_guard::setHostWork(true);
    std::optional<std::string> text;
    try {
        std::string read;
        char chunk[1 << 16];
        while (input.read(chunk, sizeof chunk) || input.gcount() > 0) read.append(chunk, static_cast<std::size_t>(input.gcount()));
        text = std::move(read);
    } catch (const std::bad_alloc&) {
        text.reset();
    }
    nelk_process_guard::setHostWork(outer);
    return text;
}

}  // namespace

statement_result scenario_runner::runFile(const std::string& path, bool keepInstances) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return fail(path, "cannot open the scenario file");
    std::optional<std::string> whole = readWhole(input);
    if (!whole) return fail(path, "nelk-host ran out of memory reading the scenario file (its own failure, not a component's)");
    std::string text = std::move(*whole);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // a UTF-8 byte order mark, as some editors write
    const std::string outer = directory_;
    directory_ = directoryOf(path);
    const statement_result result = runText(path, text, keepInstances);
    directory_ = outer;
    return result;
}

statement_result scenario_runner::runText(const std::string& origin, const std::string& text, bool keepInstances) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    statement_result worst = statement_result::ok;
    const int errorsBefore = host_.protocolErrors();
    while (std::getline(lines, line)) {
        const statement_result result = runStatement(origin + ":" + std::to_string(++number), line);
        if (result == statement_result::load_failed) return result;
        if (result != statement_result::ok) worst = statement_result::failed;
    }
    if (!keepInstances) {
        host_.removeAll();
        if (!reportUnusedAnswers()) worst = statement_result::failed;
    }
    if (host_.protocolErrors() != errorsBefore) worst = statement_result::failed;
    return worst;
}

bool scenario_runner::reportUnusedAnswers() {
    bool none = true;
    for (const host_model::unused_answer& each : host_.model().takeUnusedAnswers()) {
        // Said where it was scripted: a trace whose host answered a line the component no longer sends.
        const std::string text = "this answer was never used: " + nelk_test_kit::escaped(each.name) + " sent no line \"" +
                                 nelk_test_kit::escaped(each.line) + "\" after it";
        if (strict_) {
            output_.error(each.where, text + " (a warning, which fails the run under --strict)");
            none = false;
        } else {
            output_.warning(each.name, each.where + ": " + text);
        }
    }
    return none;
}

statement_result scenario_runner::runStatement(const std::string& where, const std::string& line) {
    // Whatever fails from here on outside a call into a component is nelk-host's own doing.
    const bool outer = nelk_process_guard::hostWork();  // a reload runs statements inside its own
    nelk_process_guard::setHostWork(true);
    statement_result result = statement_result::failed;
    try {
        result = runOne(where, line);
    } catch (const std::exception& error) {
        result = fail(where, std::string("nelk-host could not run this statement (its own failure, not the component's): ") +
                                 error.what());
    }
    nelk_process_guard::setHostWork(outer);
    callsBelongTo("");  // a call after it (an instance deleted at the end) is not the statement's
    return result;
}

statement_result scenario_runner::runOne(const std::string& where, const std::string& line) {
    std::vector<statement_word> words;
    std::string problem;
    if (!readStatementWords(line, words, problem)) return fail(where, problem);
    nelk_process_guard::setWhere(where.c_str());
    nelk_process_guard::setEvent("");
    if (words.empty()) return statement_result::ok;
    callsBelongTo(where + ": " + line);
    const statement_form* form = formOf(words);
    if (form == nullptr) {
        return fail(where, "unknown statement \"" + nelk_test_kit::escaped(words[0].text) +
                               "\" (\"help\" at the prompt, or nelk-host --help, lists them)");
    }
    const int count = static_cast<int>(words.size()) - 1;
    const int errorsBefore = host_.protocolErrors();
    const int warningsBefore = output_.warnings();
    statement_result result = statement_result::malformed;
    output_.statement(where, line);
    if (record_ != nullptr) record_->statementBegins();
    if (count >= form->fewestWords && (form->mostWords < 0 || count <= form->mostWords)) {
        statement_context context{host_, output_, defaultLibrary_, where, directory_, session_};
        result = form->run(context, words);
    }
    if (result == statement_result::malformed) result = fail(where, std::string("malformed statement; the form is: ") + form->usage);
    host_.reportForeignLines();
    if (host_.protocolErrors() != errorsBefore) {
        output_.error(where, "protocol error during this statement");
        if (result == statement_result::ok) result = statement_result::failed;
    }
    if (strict_ && output_.warnings() != warningsBefore) {
        output_.error(where, "the host warned during this statement, which fails it under --strict");
        if (result == statement_result::ok) result = statement_result::failed;
    }
    if (record_ != nullptr) record_->statementEnded(line, words, result, directory_);
    return result;
}

}  // namespace nelk_host_tool
