// The scenario language: one statement a line, '#' starts a comment (docs/nelk-host.md lists the
// statements, statements.h defines them). Host's thread only.
#pragma once

#include <string>
#include <vector>

#include "scenario_recorder.h"
#include "statements.h"

namespace nelk_host_tool {

using nelk_test_kit::readStatementWords;

class scenario_runner {
public:
    // host, output: kept by reference, must outlive the runner. defaultLibrary: the library
    // that "load NAME" uses when it names none.
    scenario_runner(headless_host& host, transcript& output, std::string defaultLibrary);

    // Runs every statement of the file, going on after a failed expectation; deletes the
    // instances left at the end unless `keepInstances`. Library paths in it are relative to its
    // folder. The result is the worst of its statements.
    statement_result runFile(const std::string& path, bool keepInstances = false);
    // Runs statements from a text; `origin` names it in messages ("demo", a file name).
    statement_result runText(const std::string& origin, const std::string& text, bool keepInstances = false);
    // One statement; `where` is "origin:line" for messages. A protocol error during it is
    // reported at `where` and fails it.
    statement_result runStatement(const std::string& where, const std::string& line);
    // Tells `record` (which must outlive the runner, or be null) of every statement run.
    void recordInto(scenario_recorder* record) noexcept { record_ = record; }
    // What the session commands (save, reload) act on: must outlive the runner, or be null (a
    // scenario, where they fail).
    void serveSession(session_commands* session) noexcept { session_ = session; }
    const std::string& defaultLibrary() const noexcept { return defaultLibrary_; }
    // Library paths of the statements run from here on are relative to the folder of the file at
    // `path`, as in runFile (for a caller that runs a file's statements one by one).
    void inFolderOf(const std::string& path);
    // Under strict, a statement during which the host warned (a layout it could not read fully, a
    // control the component wrote that its layout lacks, ...) fails.
    void setStrict(bool strict) noexcept { strict_ = strict; }

private:
    statement_result runOne(const std::string& where, const std::string& line);
    statement_result fail(const std::string& where, const std::string& text);
    // At a file's end: every scripted answer no line took, a warning at the `answer` that scripted
    // it (an error under strict). False when one failed the run.
    bool reportUnusedAnswers();

    headless_host& host_;
    transcript& output_;
    std::string defaultLibrary_;
    std::string directory_;  // of the file being run
    scenario_recorder* record_ = nullptr;
    session_commands* session_ = nullptr;
    bool strict_ = false;
};

}  // namespace nelk_host_tool
