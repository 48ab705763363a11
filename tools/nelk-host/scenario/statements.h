// The statements of the scenario language and of a live session, in one table: name, usage, what
// it does, its role, how many words it takes, and the action that reads its words and runs it.
// Help, error messages, the documentation's list, how a session saves a statement and which
// statements a reload runs again all come from this table: callers ask a statement's form, never
// its name. Host's thread only.
#pragma once

#include "scenario_words.h"

#include <string>
#include <vector>

#include "host/headless_host.h"
#include "host/library_files.h"
#include "host/transcript.h"

namespace nelk_host_tool {

// A word of a statement: a bare word, a "quoted text" (escapes \n \t \r \\ \" \xHH), or the bare
// word null, which stands for a null pointer.
using nelk_test_kit::statement_word;

enum class statement_result {
    ok,
    failed,       // an expectation did not hold, the statement was malformed, or it could not run
    load_failed,  // a library could not be loaded or has no entry
    malformed,    // the words do not fit the statement's form (reported with its usage)
};

// What a statement is for, which says how a session keeps it.
enum class statement_role {
    configures,  // sets what later statements use (library, delivery)
    creates,     // makes an instance (load); a reload rebuilds the instance from here on
    delivers,    // calls into the instance its second word names; a reload runs it again
    removes,     // deletes an instance
    changes,     // a host-side change (slot)
    looks,       // checks or prints (check, show, echo): its result says whether something held
    expects,     // checks the lines an instance sent; a saved session writes what was sent instead
    session,     // acts on a live session itself (save, reload): not part of a scenario
};

// What the session commands act on: the live session (the prompt, the served page). Host's thread.
class session_commands {
public:
    virtual ~session_commands() = default;
    // overwrite: replace a file that exists (otherwise such a file is refused).
    virtual bool save(const std::string& where, const std::string& path, bool overwrite) = 0;
    virtual bool reload(const std::string& where, const std::string& which) = 0;
};

// What a statement runs against; references valid for the statement's run only.
struct statement_context {
    headless_host& host;
    transcript& output;
    std::string& defaultLibrary;   // what "load" uses when it names no library
    const std::string& where;      // "origin:line", for messages
    const std::string& directory;  // what relative library paths are resolved against ("": as given)
    session_commands* session;     // null outside a live session
};

struct statement_form {
    const char* name;     // the first word
    const char* usage;    // the whole form, e.g. "load NAME [LIBRARY|default] [LOADTEXT|null]"
    const char* summary;  // what it does, one line
    statement_role role;
    int fewestWords;      // words after the name
    int mostWords;        // -1: no limit
    int libraryWord;      // the word that names a library (written absolute when saved); 0: none
    bool answers;         // it checks a kind-3 answer after "->" (saved with the answer it got)
    // words: the whole statement, words[0] being the name, with a count within the bounds.
    statement_result (*run)(statement_context& context, const std::vector<statement_word>& words);
};

// A duration of the host's clock as a statement writes it: a number and its unit, "250ms", "2s",
// "1.5s", "3min"; false for anything else, a quoted word, or beyond a day.
bool readDuration(const statement_word& word, long long& milliseconds);

// Every statement, in the order help lists them; static.
const std::vector<statement_form>& statementForms();
// The statement of that name, or null.
const statement_form* findStatement(const std::string& name);
// The form of a statement's words (the first not quoted), or null.
const statement_form* formOf(const std::vector<statement_word>& words);
// The usage lines of the scenario statements, one a line with its summary.
std::string statementHelp();
// The same for the session commands (role session).
std::string sessionCommandHelp();

}  // namespace nelk_host_tool
