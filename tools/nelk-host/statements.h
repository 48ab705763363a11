// The statements of the scenario language, in one table: name, usage, what it does, how many
// words it takes, and the action that reads its words and runs it. Help, error messages and the
// documentation's list come from this table. Host's thread only.
#pragma once

#include <string>
#include <vector>

#include "simulator.h"
#include "transcript.h"

namespace nelk_host_tool {

// A word of a statement: a bare word, a "quoted text" (escapes \n \t \r \\ \" \xHH), or the bare
// word null, which stands for a null pointer.
struct token {
    std::string text;
    bool quoted = false;
    bool isNull() const { return !quoted && text == "null"; }
};

enum class statement_result {
    ok,
    failed,       // an expectation did not hold, the statement was malformed, or it could not run
    load_failed,  // a library could not be loaded or has no entry
    malformed,    // the words do not fit the statement's form (reported with its usage)
};

// What a statement runs against; references valid for the statement's run only.
struct statement_context {
    simulator& host;
    transcript& output;
    std::string& defaultLibrary;   // what "load" uses when it names no library
    const std::string& where;      // "origin:line", for messages
    const std::string& directory;  // what relative library paths are resolved against ("": as given)
};

struct statement_form {
    const char* name;     // the first word
    const char* usage;    // the whole form, e.g. "load NAME [LIBRARY|default] [LOADTEXT|null]"
    const char* summary;  // what it does, one line
    int fewestWords;      // words after the name
    int mostWords;        // -1: no limit
    // words: the whole statement, words[0] being the name, with a count within the bounds.
    statement_result (*run)(statement_context& context, const std::vector<token>& words);
};

// A library path as a statement names it, made absolute: a relative one is taken from
// `directory` (a scenario file's folder), or from the working directory when that is empty.
std::string resolvedLibraryPath(const std::string& directory, const std::string& path);

// Every statement, in the order help lists them; static.
const std::vector<statement_form>& statementForms();
// The statement of that name, or null.
const statement_form* findStatement(const std::string& name);
// The usage lines, one statement a line with its summary.
std::string statementHelp();

}  // namespace nelk_host_tool
