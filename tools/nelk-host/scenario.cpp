#include "scenario.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace nelk_host_tool {

namespace {

int hexDigit(char byte) {
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

bool readInt(const token& word, int& value) {
    if (word.text.empty()) return false;
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

const char* const usage[][2] = {
    {"library PATH", "the library that later loads use when they name none"},
    {"load NAME [LIBRARY|default] [LOADTEXT|null]", "create an instance (load text: the library's directory)"},
    {"command NAME TEXT [-> ANSWER|null]", "send a command (kind 3), and check its answer"},
    {"control NAME ID [COMMAND]", "send a control event (kind 2)"},
    {"slot DRIVER SLOT TEXT", "change a slot from the host side"},
    {"notify NAME DRIVER SLOT TEXT|null", "send a slot value (kind 1) to one instance"},
    {"timer NAME ID", "fire a timer (kind 4)"},
    {"number NAME VALUE", "send a number (kind 7)"},
    {"data NAME [TEXT|null]", "send a data pointer (kind 6)"},
    {"delete NAME", "delete the instance"},
    {"show NAME", "list the panel's controls"},
    {"expect NAME LINE...", "the next lines NAME sent are exactly these"},
    {"expect NAME nothing", "NAME sent nothing since the last expectation"},
    {"check NAME CONTROL PROPERTY VALUE", "the control's property holds VALUE"},
    {"delivery queued|immediate", "when slot events reach the components"},
    {"echo TEXT", "print a note"},
};

}  // namespace

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool tokenize(const std::string& line, std::vector<token>& tokens, std::string& problem) {
    tokens.clear();
    std::size_t position = 0;
    while (position < line.size()) {
        const char byte = line[position];
        if (byte == ' ' || byte == '\t' || byte == '\r') {
            ++position;
            continue;
        }
        if (byte == '#') break;
        token word;
        if (byte != '"') {
            while (position < line.size() && line[position] != ' ' && line[position] != '\t' && line[position] != '\r')
                word.text += line[position++];
            tokens.push_back(word);
            continue;
        }
        word.quoted = true;
        ++position;
        bool closed = false;
        while (position < line.size()) {
            const char next = line[position++];
            if (next == '"') {
                closed = true;
                break;
            }
            if (next != '\\') {
                word.text += next;
                continue;
            }
            if (position >= line.size()) break;
            const char escape = line[position++];
            switch (escape) {
            case 'n': word.text += '\n'; break;
            case 't': word.text += '\t'; break;
            case 'r': word.text += '\r'; break;
            case '\\': word.text += '\\'; break;
            case '"': word.text += '"'; break;
            case 'x': {
                const int high = position < line.size() ? hexDigit(line[position]) : -1;
                const int low = position + 1 < line.size() ? hexDigit(line[position + 1]) : -1;
                if (high < 0 || low < 0) {
                    problem = "\\x needs two hexadecimal digits";
                    return false;
                }
                word.text += static_cast<char>(high * 16 + low);
                position += 2;
                break;
            }
            default:
                problem = std::string("unknown escape \\") + escape;
                return false;
            }
        }
        if (!closed) {
            problem = "a quoted text is not closed";
            return false;
        }
        tokens.push_back(word);
    }
    return true;
}

scenario_runner::scenario_runner(simulator& host, transcript& output, std::string defaultLibrary)
    : host_(host), output_(output), defaultLibrary_(std::move(defaultLibrary)) {}

const char* scenario_runner::help() {
    static const std::string text = [] {
        std::string lines;
        for (const auto& entry : usage) {
            std::string left = entry[0];
            left.resize(46, ' ');
            lines += "  " + left + entry[1] + "\n";
        }
        return lines;
    }();
    return text.c_str();
}

statement_result scenario_runner::fail(const std::string& where, const std::string& text) {
    output_.error(where, text);
    return statement_result::failed;
}

statement_result scenario_runner::runFile(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return fail(path, "cannot open the scenario file");
    std::ostringstream text;
    text << input.rdbuf();
    return runText(path, text.str());
}

statement_result scenario_runner::runText(const std::string& origin, const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    statement_result worst = statement_result::ok;
    const int errorsBefore = host_.protocolErrors();
    while (std::getline(lines, line)) {
        ++number;
        const int errorsBeforeLine = host_.protocolErrors();
        const statement_result result = runStatement(origin + ":" + std::to_string(number), line);
        if (host_.protocolErrors() != errorsBeforeLine)
            output_.error(origin + ":" + std::to_string(number), "protocol error during this statement");
        if (result == statement_result::load_failed) return result;
        if (result == statement_result::failed) worst = result;
    }
    host_.removeAll();
    if (host_.protocolErrors() != errorsBefore) worst = statement_result::failed;
    return worst;
}

statement_result scenario_runner::runStatement(const std::string& where, const std::string& line) {
    std::vector<token> words;
    std::string problem;
    if (!tokenize(line, words, problem)) return fail(where, problem);
    if (words.empty()) return statement_result::ok;
    const std::string verb = words[0].quoted ? "" : words[0].text;
    const std::size_t count = words.size();
    auto wrong = [&]() {
        for (const auto& entry : usage) {
            const std::string form = entry[0];
            if (form.compare(0, verb.size() + 1, verb + " ") == 0) return fail(where, "malformed statement; the form is: " + form);
        }
        return fail(where, "unknown statement \"" + (words[0].text) + "\" (the statements are listed by nelk-host --help)");
    };
    int first = 0;
    int second = 0;

    if (verb == "library" && count == 2) {
        defaultLibrary_ = words[1].text;
        return statement_result::ok;
    }
    if (verb == "load" && count >= 2 && count <= 4) {
        const std::string library = count >= 3 && words[2].text != "default" ? words[2].text : defaultLibrary_;
        const std::optional<std::string> loadText = count == 4 ? textOrNull(words[3]) : std::optional<std::string>(directoryOf(library));
        std::string error;
        if (!host_.load(words[1].text, library, loadText, error)) {
            output_.error(where, error);
            return error.find("already exists") != std::string::npos ? statement_result::failed : statement_result::load_failed;
        }
        return statement_result::ok;
    }
    if (verb == "command" && (count == 3 || (count == 5 && words[3].text == "->" && !words[3].quoted))) {
        const std::optional<std::string> answer = host_.command(words[1].text, textOrNull(words[2]));
        if (count == 5) {
            const std::optional<std::string> wanted = textOrNull(words[4]);
            if (answer != wanted) return fail(where, "expected the answer " + shown(wanted) + " but got " + shown(answer));
        }
        return statement_result::ok;
    }
    if (verb == "control" && (count == 3 || count == 4)) {
        host_.control(words[1].text, textOrNull(words[2]), count == 4 ? textOrNull(words[3]) : std::nullopt);
        return statement_result::ok;
    }
    if (verb == "slot" && count == 4 && readInt(words[1], first) && readInt(words[2], second)) {
        host_.changeSlot(first, second, words[3].text);
        return statement_result::ok;
    }
    if (verb == "notify" && count == 5 && readInt(words[2], first) && readInt(words[3], second)) {
        host_.notify(words[1].text, first, second, textOrNull(words[4]));
        return statement_result::ok;
    }
    if (verb == "timer" && count == 3 && readInt(words[2], first)) {
        host_.timer(words[1].text, first);
        return statement_result::ok;
    }
    if (verb == "number" && count == 3 && readInt(words[2], first)) {
        host_.number(words[1].text, first);
        return statement_result::ok;
    }
    if (verb == "data" && (count == 2 || count == 3)) {
        host_.data(words[1].text, count == 3 ? textOrNull(words[2]) : std::nullopt);
        return statement_result::ok;
    }
    if (verb == "delete" && count == 2) {
        host_.remove(words[1].text);
        return statement_result::ok;
    }
    if (verb == "show" && count == 2) {
        const instance* target = host_.find(words[1].text);
        if (target == nullptr) return fail(where, "no instance \"" + words[1].text + "\"");
        output_.block(target->name, "panel 1 (" + (target->panel.file.empty() ? "no layout" : target->panel.file) + ")",
                      host_.describePanel(*target));
        return statement_result::ok;
    }
    if (verb == "expect" && count >= 3) return expectLines(where, words);
    if (verb == "check" && count == 5) return check(where, words);
    if (verb == "delivery" && count == 2 && (words[1].text == "queued" || words[1].text == "immediate")) {
        host_.setMode(words[1].text == "queued" ? delivery_mode::queued : delivery_mode::immediate);
        return statement_result::ok;
    }
    if (verb == "echo" && count >= 2) {
        std::string text;
        for (std::size_t i = 1; i < count; ++i) text += (i > 1 ? " " : "") + words[i].text;
        output_.note("", text);
        return statement_result::ok;
    }
    return wrong();
}

statement_result scenario_runner::expectLines(const std::string& where, const std::vector<token>& words) {
    instance* target = host_.find(words[1].text);
    if (target == nullptr) return fail(where, "no instance \"" + words[1].text + "\"");
    const std::size_t pending = target->lines.size() - target->checked;
    if (words.size() == 3 && !words[2].quoted && words[2].text == "nothing") {
        if (pending == 0) return statement_result::ok;
        const std::string next = target->lines[target->checked];
        target->checked = target->lines.size();
        return fail(where, "expected " + target->name + " to send nothing, but it sent \"" + escaped(next) + "\"" +
                               (pending > 1 ? " and " + std::to_string(pending - 1) + " more" : ""));
    }
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& wanted = words[i].text;
        if (target->checked >= target->lines.size())
            return fail(where, "expected " + target->name + " to send \"" + escaped(wanted) + "\", but it sent nothing more");
        const std::string& sent = target->lines[target->checked++];
        if (sent != wanted) {
            return fail(where, "expected " + target->name + " to send \"" + escaped(wanted) + "\", but it sent \"" +
                                   escaped(sent) + "\"");
        }
    }
    return statement_result::ok;
}

statement_result scenario_runner::check(const std::string& where, const std::vector<token>& words) {
    instance* target = host_.find(words[1].text);
    if (target == nullptr) return fail(where, "no instance \"" + words[1].text + "\"");
    const panel_control* shownControl = target->panel.find(words[2].text);
    if (shownControl == nullptr) return fail(where, "panel of " + target->name + " has no control \"" + words[2].text + "\"");
    const std::string* value = shownControl->find(words[3].text);
    if (value == nullptr || *value != words[4].text) {
        return fail(where, "expected " + words[2].text + "." + words[3].text + " of " + target->name + " to be \"" +
                               escaped(words[4].text) + "\", but it is " + (value ? "\"" + escaped(*value) + "\"" : "unset"));
    }
    output_.note(target->name, words[2].text + "." + words[3].text + " shows \"" + escaped(*value) + "\"");
    return statement_result::ok;
}

}  // namespace nelk_host_tool
