#include "statements.h"

#include <climits>
#include <filesystem>
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

bool readInt(const token& word, int& value) {
    if (word.text.empty() || word.quoted) return false;
    char* end = nullptr;
    const long long number = std::strtoll(word.text.c_str(), &end, 10);
    if (*end != '\0' || number < INT_MIN || number > INT_MAX) return false;
    value = static_cast<int>(number);
    return true;
}

std::optional<std::string> textOrNull(const token& word) {
    if (word.isNull()) return std::nullopt;
    return word.text;
}

std::string shown(const std::optional<std::string>& text) { return text ? "\"" + escaped(*text) + "\"" : "null"; }

std::string libraryPath(const statement_context& context, const std::string& path) {
    return resolvedLibraryPath(context.directory, path);
}

statement_result library(statement_context& context, const std::vector<token>& words) {
    context.defaultLibrary = libraryPath(context, words[1].text);
    return statement_result::ok;
}

statement_result load(statement_context& context, const std::vector<token>& words) {
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

statement_result command(statement_context& context, const std::vector<token>& words) {
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

statement_result control(statement_context& context, const std::vector<token>& words) {
    const std::optional<std::string> commandText = words.size() == 4 ? textOrNull(words[3]) : std::nullopt;
    return delivered(context, context.host.control(words[1].text, textOrNull(words[2]), commandText), words[1].text);
}

statement_result slot(statement_context& context, const std::vector<token>& words) {
    int driver = 0;
    int index = 0;
    if (!readInt(words[1], driver) || !readInt(words[2], index)) return statement_result::malformed;
    if (context.host.changeSlot(driver, index, words[3].text)) return statement_result::ok;
    return fail(context, noSuchSlot(driver, index));
}

statement_result notify(statement_context& context, const std::vector<token>& words) {
    int driver = 0;
    int index = 0;
    if (!readInt(words[2], driver) || !readInt(words[3], index)) return statement_result::malformed;
    return delivered(context, context.host.notify(words[1].text, driver, index, textOrNull(words[4])), words[1].text);
}

statement_result timer(statement_context& context, const std::vector<token>& words) {
    int id = 0;
    if (!readInt(words[2], id)) return statement_result::malformed;
    return delivered(context, context.host.timer(words[1].text, id), words[1].text);
}

statement_result number(statement_context& context, const std::vector<token>& words) {
    int value = 0;
    if (!readInt(words[2], value)) return statement_result::malformed;
    return delivered(context, context.host.number(words[1].text, value), words[1].text);
}

statement_result data(statement_context& context, const std::vector<token>& words) {
    const std::optional<std::string> text = words.size() == 3 ? textOrNull(words[2]) : std::nullopt;
    return delivered(context, context.host.data(words[1].text, text), words[1].text);
}

statement_result raw(statement_context& context, const std::vector<token>& words) {
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

statement_result remove(statement_context& context, const std::vector<token>& words) {
    return delivered(context, context.host.remove(words[1].text), words[1].text);
}

const instance* existing(statement_context& context, const std::string& name) {
    const instance* target = context.host.find(name);
    if (target == nullptr) fail(context, "no instance \"" + escaped(name) + "\"");
    return target;
}

statement_result show(statement_context& context, const std::vector<token>& words) {
    const instance* target = existing(context, words[1].text);
    if (target == nullptr) return statement_result::failed;
    context.output.block(target->name, "panel 1 (" + (target->panel.file.empty() ? "no layout" : target->panel.file) + ")",
                         host_model::describePanel(*target));
    return statement_result::ok;
}

statement_result expect(statement_context& context, const std::vector<token>& words) {
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
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& wanted = words[i].text;
        if (target->checked >= target->lines.size())
            return fail(context, "expected " + name + " to send \"" + escaped(wanted) + "\", but it sent nothing more");
        const std::string& sent = target->lines[target->checked++];
        if (sent != wanted) {
            return fail(context, "expected " + name + " to send \"" + escaped(wanted) + "\", but it sent \"" +
                                     escaped(sent) + "\"");
        }
    }
    return statement_result::ok;
}

statement_result check(statement_context& context, const std::vector<token>& words) {
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

statement_result delivery(statement_context& context, const std::vector<token>& words) {
    if (words[1].text == "queued") {
        context.host.setMode(delivery_mode::queued);
    } else if (words[1].text == "immediate") {
        context.host.setMode(delivery_mode::immediate);
    } else {
        return statement_result::malformed;
    }
    return statement_result::ok;
}

statement_result save(statement_context& context, const std::vector<token>& words) {
    if (context.session == nullptr) return fail(context, "save works in a live session (repl, serve), not in a scenario");
    const bool overwrite = words[0].text == "save!";
    return context.session->save(context.where, words[1].text, overwrite) ? statement_result::ok : statement_result::failed;
}

statement_result reload(statement_context& context, const std::vector<token>& words) {
    if (context.session == nullptr) return fail(context, "reload works in a live session (repl, serve), not in a scenario");
    return context.session->reload(context.where, words.size() == 2 ? words[1].text : "all") ? statement_result::ok
                                                                                            : statement_result::failed;
}

statement_result echo(statement_context& context, const std::vector<token>& words) {
    std::string text;
    for (std::size_t i = 1; i < words.size(); ++i) text += (i > 1 ? " " : "") + words[i].text;
    context.output.note("", text);
    return statement_result::ok;
}

}  // namespace

std::string resolvedLibraryPath(const std::string& directory, const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path given(path);
    const std::filesystem::path placed = given.is_absolute() || directory.empty() ? given : std::filesystem::path(directory) / given;
    const std::filesystem::path absolute = std::filesystem::absolute(placed, error);
    return error ? placed.string() : absolute.lexically_normal().string();
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
        {"timer", "timer NAME ID", "fire a timer (kind 4)", role::delivers, 2, 2, 0, false, timer},
        {"number", "number NAME VALUE", "send a number (kind 7)", role::delivers, 2, 2, 0, false, number},
        {"data", "data NAME [TEXT|null]", "send a data pointer (kind 6)", role::delivers, 1, 2, 0, false, data},
        {"raw", "raw NAME KIND [NUMBER|null]", "callback with any kind and a null (or a number's) data word",
         role::delivers, 2, 3, 0, false, raw},
        {"delete", "delete NAME", "delete the instance", role::removes, 1, 1, 0, false, remove},
        {"show", "show NAME", "list the panel's controls", role::looks, 1, 1, 0, false, show},
        {"expect", "expect NAME LINE...|nothing", "the next lines NAME sent are exactly these (or none)", role::expects,
         2, -1, 0, false, expect},
        {"check", "check NAME CONTROL PROPERTY VALUE", "the control's property holds VALUE", role::looks, 4, 4, 0, false,
         check},
        {"delivery", "delivery queued|immediate", "when slot events reach the components", role::configures, 1, 1, 0,
         false, delivery},
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

const statement_form* formOf(const std::vector<token>& words) {
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
