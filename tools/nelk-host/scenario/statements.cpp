#include "statements.h"

#include <algorithm>


#include <climits>
#include <filesystem>
#include <regex>
#include <cstdlib>

#include "process/executable_path.h"
#include "host_rules.h"

namespace nelk_host_tool {

namespace {

using nelk_test_kit::escaped;

statement_result fail(statement_context& context, const std::string& text) {
    context.output.error(context.where, text);
    return statement_result::failed;
}

// A delivery's outcome: false means the instance was not alive to take it.
statement_result delivered(statement_context& context, bool taken, const std::string& name) {
    if (taken) return statement_result::ok;
    return fail(context, "no live instance \"" + escaped(name) + "\"");
}

bool readInt(const statement_word& word, int& value) {
    if (word.text.empty() || word.quoted) return false;
    char* end = nullptr;
    const long long number = std::strtoll(word.text.c_str(), &end, 10);
    if (*end != '\0' || number < INT_MIN || number > INT_MAX) return false;
    value = static_cast<int>(number);
    return true;
}

std::optional<std::string> textOrNull(const statement_word& word) {
    if (word.isNull()) return std::nullopt;
    return word.text;
}

std::string shown(const std::optional<std::string>& text) { return text ? "\"" + escaped(*text) + "\"" : "null"; }

std::string libraryPath(const statement_context& context, const std::string& path) {
    return resolvedLibraryPath(context.directory, path);
}

statement_result library(statement_context& context, const std::vector<statement_word>& words) {
    context.defaultLibrary = libraryPath(context, words[1].text);
    return statement_result::ok;
}

statement_result load(statement_context& context, const std::vector<statement_word>& words) {
    const std::size_t count = words.size();
    const std::string library =
        count >= 3 && words[2].text != "default" ? libraryPath(context, words[2].text) : context.defaultLibrary;
    const std::optional<std::string> loadText =
        count == 4 ? textOrNull(words[3]) : std::optional<std::string>(directoryOf(library));
    std::string error;
    if (context.host.load(words[1].text, library, loadText, error)) return statement_result::ok;
    context.output.error(context.where, error);
    return context.host.find(words[1].text) != nullptr && context.host.find(words[1].text)->phase != instance_phase::gone
               ? statement_result::failed
               : statement_result::load_failed;
}

statement_result command(statement_context& context, const std::vector<statement_word>& words) {
    const bool expectsAnswer = words.size() == 5;
    if (words.size() == 4 || (expectsAnswer && (words[3].text != "->" || words[3].quoted))) return statement_result::malformed;
    std::optional<std::string> answer;
    if (!context.host.command(words[1].text, textOrNull(words[2]), &answer))
        return delivered(context, false, words[1].text);
    if (!expectsAnswer) return statement_result::ok;
    const std::optional<std::string> wanted = textOrNull(words[4]);
    if (answer == wanted) return statement_result::ok;
    return fail(context, "expected the answer " + shown(wanted) + " but got " + shown(answer));
}

statement_result control(statement_context& context, const std::vector<statement_word>& words) {
    const std::optional<std::string> commandText = words.size() == 4 ? textOrNull(words[3]) : std::nullopt;
    return delivered(context, context.host.control(words[1].text, textOrNull(words[2]), commandText), words[1].text);
}

statement_result slot(statement_context& context, const std::vector<statement_word>& words) {
    int driver = 0;
    int index = 0;
    if (!readInt(words[1], driver) || !readInt(words[2], index)) return statement_result::malformed;
    if (context.host.changeSlot(driver, index, words[3].text)) return statement_result::ok;
    return fail(context, noSuchSlot(driver, index));
}

statement_result notify(statement_context& context, const std::vector<statement_word>& words) {
    int driver = 0;
    int index = 0;
    if (!readInt(words[2], driver) || !readInt(words[3], index)) return statement_result::malformed;
    return delivered(context, context.host.notify(words[1].text, driver, index, textOrNull(words[4])), words[1].text);
}

statement_result timer(statement_context& context, const std::vector<statement_word>& words) {
    int id = 0;
    if (!readInt(words[2], id)) return statement_result::malformed;
    const std::string& name = words[1].text;
    if (words.size() == 3) return delivered(context, context.host.timer(name, id), name);
    const std::string& how = words[3].text;
    if (how == "stop" && words.size() == 4) return delivered(context, context.host.stopTimer(name, id), name);
    long long interval = 0;
    if ((how != "every" && how != "after") || words.size() != 5 || !readDuration(words[4], interval) || interval == 0)
        return statement_result::malformed;
    return delivered(context, context.host.startTimer(name, id, interval, how == "every"), name);
}

statement_result advance(statement_context& context, const std::vector<statement_word>& words) {
    if (!words[1].quoted && words[1].text == "next") {
        if (!context.host.advanceToNext()) context.output.note("host", "no timer runs on the clock");
        return statement_result::ok;
    }
    long long milliseconds = 0;
    if (!readDuration(words[1], milliseconds)) return statement_result::malformed;
    context.host.advance(milliseconds);
    return statement_result::ok;
}

statement_result clock(statement_context& context, const std::vector<statement_word>& words) {
    const std::string& how = words[1].text;
    if (how == "run" && words.size() == 2) {
        context.host.runClock(true);
    } else if (how == "pause" && words.size() == 2) {
        context.host.runClock(false);
    } else if (how == "speed" && words.size() == 3) {
        char* end = nullptr;
        const double speed = std::strtod(words[2].text.c_str(), &end);
        if (*end != '\0' || !(speed > 0 && speed <= 1000)) return statement_result::malformed;
        context.host.setClockSpeed(speed);
    } else {
        return statement_result::malformed;
    }
    return statement_result::ok;
}

statement_result number(statement_context& context, const std::vector<statement_word>& words) {
    int value = 0;
    if (!readInt(words[2], value)) return statement_result::malformed;
    return delivered(context, context.host.number(words[1].text, value), words[1].text);
}

statement_result data(statement_context& context, const std::vector<statement_word>& words) {
    const std::optional<std::string> text = words.size() == 3 ? textOrNull(words[2]) : std::nullopt;
    return delivered(context, context.host.data(words[1].text, text), words[1].text);
}

statement_result raw(statement_context& context, const std::vector<statement_word>& words) {
    int kind = 0;
    if (!readInt(words[2], kind)) return statement_result::malformed;
    std::optional<long long> word;
    if (words.size() == 4 && !words[3].isNull()) {
        int number = 0;
        if (!readInt(words[3], number)) return statement_result::malformed;
        // A number stands in the data word only where the word is a value, not a pointer.
        if (kind >= nelk_kind::first && kind <= nelk_kind::last && kind != nelk_kind::timerFired &&
            kind != nelk_kind::numberValue)
            return fail(context, "kind " + std::to_string(kind) + " carries a pointer: only null can be sent raw");
        word = number;
    }
    return delivered(context, context.host.raw(words[1].text, kind, word), words[1].text);
}

statement_result remove(statement_context& context, const std::vector<statement_word>& words) {
    return delivered(context, context.host.remove(words[1].text), words[1].text);
}

const instance* existing(statement_context& context, const std::string& name) {
    const instance* target = context.host.find(name);
    if (target == nullptr) fail(context, "no instance \"" + escaped(name) + "\"");
    return target;
}

statement_result show(statement_context& context, const std::vector<statement_word>& words) {
    const instance* target = existing(context, words[1].text);
    if (target == nullptr) return statement_result::failed;
    context.output.block(target->name, "panel 1 (" + (target->panel.file.empty() ? "no layout" : target->panel.file) + ")",
                         host_model::describePanel(*target));
    return statement_result::ok;
}

// One line an `expect` waits for: the text, and how a sent line must match it.
struct expected_line {
    std::string text;
    enum class match { exact, prefix, pattern } how;
};

bool lineMatches(const std::string& sent, const expected_line& wanted, const instance& target, std::string& problem) {
    const std::string text = withLoadText(wanted.text, target.loadText);
    switch (wanted.how) {
    case expected_line::match::exact: return sent == text;
    case expected_line::match::prefix: return sent.compare(0, text.size(), text) == 0;
    case expected_line::match::pattern:
        try {
            return std::regex_match(sent, std::regex(text, std::regex::ECMAScript));
        } catch (const std::regex_error& error) {
            problem = "the pattern \"" + escaped(text) + "\" is not a regular expression: " + error.what();
            return false;
        }
    }
    return false;
}

statement_result expect(statement_context& context, const std::vector<statement_word>& words) {
    instance* target = context.host.find(words[1].text);
    if (target == nullptr) return fail(context, "no instance \"" + escaped(words[1].text) + "\"");
    const std::string name = escaped(target->name);
    const std::size_t pending = target->lines.size() - target->checked;
    if (words.size() == 3 && !words[2].quoted && words[2].text == "nothing") {
        if (pending == 0) return statement_result::ok;
        const std::string next = target->lines[target->checked];
        target->checked = target->lines.size();
        return fail(context, "expected " + name + " to send nothing, but it sent \"" + escaped(next) + "\"" +
                                 (pending > 1 ? " and " + std::to_string(pending - 1) + " more" : ""));
    }
    // The lines, each possibly after "prefix" (it begins so) or "matching" (a regular
    // expression the whole line matches).
    std::vector<expected_line> lines;
    for (std::size_t i = 2; i < words.size(); ++i) {
        expected_line::match how = expected_line::match::exact;
        if (!words[i].quoted && (words[i].text == "prefix" || words[i].text == "matching")) {
            how = words[i].text == "prefix" ? expected_line::match::prefix : expected_line::match::pattern;
            if (++i == words.size()) return statement_result::malformed;
        }
        lines.push_back({words[i].text, how});
    }
    // Every line it waits for is compared and consumed, also after a mismatch, so that one wrong
    // line fails one expectation and not the ones after it.
    std::string failure;
    std::vector<std::pair<std::string, std::string>> sideBySide;  // expected, sent ("" past the end)
    int differing = 0;
    for (const expected_line& wanted : lines) {
        const char* kind = wanted.how == expected_line::match::exact ? "" : wanted.how == expected_line::match::prefix
                                                                                ? "a line beginning "
                                                                                : "a line matching ";
        const std::string shownWanted = kind + ("\"" + escaped(wanted.text) + "\"");
        if (target->checked >= target->lines.size()) {
            if (failure.empty()) failure = "expected " + name + " to send " + shownWanted + ", but it sent nothing more";
            sideBySide.emplace_back("x " + shownWanted, "(nothing)");
            ++differing;
            continue;
        }
        const std::string& sent = target->lines[target->checked++];
        std::string problem;
        const bool matches = lineMatches(sent, wanted, *target, problem);
        if (!problem.empty()) return fail(context, problem);
        sideBySide.emplace_back((matches ? "  " : "x ") + shownWanted, "\"" + escaped(sent) + "\"");
        if (matches) continue;
        if (failure.empty()) failure = "expected " + name + " to send " + shownWanted + ", but it sent \"" + escaped(sent) + "\"";
        ++differing;
    }
    if (failure.empty()) return statement_result::ok;
    if (differing == 1) return fail(context, failure);
    // More than one line differs: both lists, line against line, the differing ones marked.
    const std::string heading = "  expected";
    std::size_t width = heading.size();
    for (const auto& row : sideBySide) width = std::max(width, row.first.size());
    std::vector<std::string> table{heading + std::string(width + 2 - heading.size(), ' ') + "sent"};
    for (const auto& row : sideBySide) table.push_back(row.first + std::string(width + 2 - row.first.size(), ' ') + row.second);
    context.output.error(context.where,
                         failure + "; " + std::to_string(differing) + " of its " + std::to_string(lines.size()) + " lines differ:",
                         table);
    return statement_result::failed;
}

statement_result discard(statement_context& context, const std::vector<statement_word>& words) {
    const bool all = !words[1].quoted && words[1].text == "all";
    bool found = false;
    for (instance* each : context.host.model().inOrder()) {
        if (!all && each->name != words[1].text) continue;
        each->checked = each->lines.size();
        found = true;
    }
    if (!found && !all) return fail(context, "no instance \"" + escaped(words[1].text) + "\"");
    return statement_result::ok;
}

statement_result check(statement_context& context, const std::vector<statement_word>& words) {
    const instance* target = existing(context, words[1].text);
    if (target == nullptr) return statement_result::failed;
    const std::string& id = words[2].text;
    const std::string& property = words[3].text;
    const panel_control* control = target->panel.find(id);
    if (control == nullptr)
        return fail(context, "panel of " + escaped(target->name) + " has no control \"" + escaped(id) + "\"");
    const std::string* value = control->find(property);
    const std::string where = escaped(id) + "." + escaped(property);
    if (value == nullptr || *value != words[4].text) {
        return fail(context, "expected " + where + " of " + escaped(target->name) + " to be \"" + escaped(words[4].text) +
                                 "\", but it is " + (value ? "\"" + escaped(*value) + "\"" : "unset"));
    }
    context.output.note(target->name, where + " shows \"" + escaped(*value) + "\"");
    return statement_result::ok;
}

statement_result delivery(statement_context& context, const std::vector<statement_word>& words) {
    delivery_mode mode{};
    if (words[1].quoted || !deliveryFromName(words[1].text, mode)) return statement_result::malformed;
    context.host.setMode(mode);
    return statement_result::ok;
}

// The host's answer to a line an instance will send, in place of the model's: a real host's,
// replayed. Only the lines whose answer the component reads ("PS", "TG", "XI") take one.
statement_result answer(statement_context& context, const std::vector<statement_word>& words) {
    nelk_verb verb{};
    const std::string& line = words[2].text;
    if (!nelk_verbOf(line.c_str(), verb) || !(verb == nelk_verb::PS || nelk_answersWithText(verb)))
        return fail(context, "only \"PS\", \"TG\" and \"XI\" lines are answered; \"" + escaped(line) + "\" is not one");
    int number = 0;
    if (verb == nelk_verb::PS && !words[3].isNull() && !readInt(words[3], number))
        return fail(context, "a \"PS\" line is answered with a number (or null)");
    context.host.model().scriptAnswer(words[1].text, line,
                                      verb == nelk_verb::PS ? std::optional<std::string>(std::to_string(number)) : textOrNull(words[3]),
                                      context.where);
    return statement_result::ok;
}

statement_result save(statement_context& context, const std::vector<statement_word>& words) {
    if (context.session == nullptr) return fail(context, "save works in a live session (repl, serve), not in a scenario");
    const bool overwrite = words[0].text == "save!";
    return context.session->save(context.where, words[1].text, overwrite) ? statement_result::ok : statement_result::failed;
}

statement_result reload(statement_context& context, const std::vector<statement_word>& words) {
    if (context.session == nullptr) return fail(context, "reload works in a live session (repl, serve), not in a scenario");
    return context.session->reload(context.where, words.size() == 2 ? words[1].text : "all") ? statement_result::ok
                                                                                            : statement_result::failed;
}

statement_result echo(statement_context& context, const std::vector<statement_word>& words) {
    std::string text;
    for (std::size_t i = 1; i < words.size(); ++i) text += (i > 1 ? " " : "") + words[i].text;
    context.output.note("", text);
    return statement_result::ok;
}

}  // namespace

bool readDuration(const statement_word& word, long long& milliseconds) {
    if (word.quoted) return false;
    char* end = nullptr;
    const double amount = std::strtod(word.text.c_str(), &end);
    if (end == word.text.c_str() || !(amount >= 0)) return false;
    const std::string unit(end);
    const double scale = unit == "ms" ? 1 : unit == "s" ? 1000 : unit == "min" ? 60000 : -1;
    if (scale < 0 || amount * scale > 86400000.0) return false;
    milliseconds = static_cast<long long>(amount * scale + 0.5);
    return true;
}

const std::vector<statement_form>& statementForms() {
    using role = statement_role;
    static const std::vector<statement_form> forms = {
        {"library", "library PATH", "the library that later loads use when they name none", role::configures, 1, 1, 1,
         false, library},
        {"load", "load NAME [LIBRARY|default] [LOADTEXT|null]", "create an instance (load text: the library's directory)",
         role::creates, 1, 3, 2, false, load},
        {"command", "command NAME TEXT [-> ANSWER|null]", "send a command (kind 3), and check its answer", role::delivers,
         2, 4, 0, true, command},
        {"control", "control NAME ID [COMMAND]", "send a control event (kind 2); the command is parsed as the host does",
         role::delivers, 2, 3, 0, false, control},
        {"slot", "slot DRIVER SLOT TEXT", "change a slot from the host side", role::changes, 3, 3, 0, false, slot},
        {"notify", "notify NAME DRIVER SLOT TEXT|null", "send a slot value (kind 1) to one instance", role::delivers, 4, 4,
         0, false, notify},
        {"timer", "timer NAME ID [every|after DURATION | stop]",
         "fire a timer now (kind 4); or start one on the host's clock, or stop it", role::delivers, 2, 4, 0, false, timer},
        {"advance", "advance DURATION|next", "move the host's clock on (250ms, 2s, 1min), firing the timers due", role::changes,
         1, 1, 0, false, advance},
        {"clock", "clock run|pause|speed FACTOR", "serve's clock in real time: run it, pause it, or run it faster",
         role::configures, 1, 2, 0, false, clock},
        {"number", "number NAME VALUE", "send a number (kind 7)", role::delivers, 2, 2, 0, false, number},
        {"data", "data NAME [TEXT|null]", "send a data pointer (kind 6)", role::delivers, 1, 2, 0, false, data},
        {"raw", "raw NAME KIND [NUMBER|null]", "callback with any kind and a null (or a number's) data word",
         role::delivers, 2, 3, 0, false, raw},
        {"delete", "delete NAME", "delete the instance", role::removes, 1, 1, 0, false, remove},
        {"show", "show NAME", "list the panel's controls", role::looks, 1, 1, 0, false, show},
        {"expect", "expect NAME [prefix|matching] LINE...|nothing",
         "the next lines NAME sent are these (or none); ${load-text} stands for its load text", role::expects, 2, -1, 0,
         false, expect},
        {"discard", "discard NAME|all", "forget the lines NAME sent that no expect has looked at", role::expects, 1, 1, 0,
         false, discard},
        {"check", "check NAME CONTROL PROPERTY VALUE", "the control's property holds VALUE", role::looks, 4, 4, 0, false,
         check},
        {"delivery", "delivery queued|immediate|none", "when slot events reach the components (none: never)",
         role::configures, 1, 1, 0, false, delivery},
        {"answer", "answer NAME LINE TEXT|NUMBER|null",
         "answer NAME's next LINE (\"PS\", \"TG\", \"XI\") so, not as the model would (a trace's real answers)",
         role::configures, 3, 3, 0, false, answer},
        {"echo", "echo TEXT", "print a note", role::looks, 1, -1, 0, false, echo},
        {"save", "save FILE", "write the session so far as a scenario file (a new one)", role::session, 1, 1, 0, false,
         save},
        {"save!", "save! FILE", "the same, over a file that exists", role::session, 1, 1, 0, false, save},
        {"reload", "reload [NAME|all]", "reopen a rebuilt library and rebuild its instances", role::session, 0, 1, 0,
         false, reload},
    };
    return forms;
}

const statement_form* findStatement(const std::string& name) {
    for (const statement_form& form : statementForms()) {
        if (name == form.name) return &form;
    }
    return nullptr;
}

const statement_form* formOf(const std::vector<statement_word>& words) {
    return words.empty() || words[0].quoted ? nullptr : findStatement(words[0].text);
}

namespace {

std::string helpOf(bool session) {
    std::string lines;
    for (const statement_form& form : statementForms()) {
        if ((form.role == statement_role::session) != session) continue;
        std::string usage = form.usage;
        usage.resize(usage.size() < 44 ? 44 : usage.size() + 1, ' ');
        lines += "  " + usage + form.summary + "\n";
    }
    return lines;
}

}  // namespace

std::string statementHelp() { return helpOf(false); }

std::string sessionCommandHelp() { return helpOf(true); }

}  // namespace nelk_host_tool
