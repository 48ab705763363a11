#include "scenario.h"

#include <fstream>
#include <sstream>

#include "process/executable_path.h"
#include "host_rules.h"
#include "process/process_guard.h"

namespace nelk_host_tool {

namespace {

int hexDigit(char byte) {
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

bool isBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\r'; }

}  // namespace

bool tokenize(const std::string& line, std::vector<token>& tokens, std::string& problem) {
    tokens.clear();
    std::size_t position = 0;
    while (position < line.size()) {
        const char byte = line[position];
        if (isBlank(byte)) {
            ++position;
            continue;
        }
        if (byte == '#') break;
        token word;
        if (byte != '"') {
            while (position < line.size() && !isBlank(line[position])) {
                if (line[position] == '\0') {
                    problem = "a zero byte in a word: texts reach the component as C texts, which end at it";
                    return false;
                }
                word.text += line[position++];
            }
            tokens.push_back(word);
            continue;
        }
        word.quoted = true;
        const std::size_t opening = position++;
        bool closed = false;
        while (position < line.size()) {
            const char next = line[position++];
            if (next == '"') {
                closed = true;
                break;
            }
            if (next == '\0') {
                problem = "a zero byte inside a quoted text: texts reach the component as C texts, which end at it";
                return false;
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
                if (high == 0 && low == 0) {
                    problem = "\\x00 cannot stand in a text: texts reach the component as C texts, which end at a zero byte";
                    return false;
                }
                word.text += static_cast<char>(high * 16 + low);
                position += 2;
                break;
            }
            default:
                problem = std::string("unknown escape \\") + nelk_test_kit::escaped(std::string(1, escape));
                return false;
            }
        }
        if (!closed) {
            problem = "the quoted text opened at column " + std::to_string(opening + 1) + " is not closed";
            return false;
        }
        tokens.push_back(word);
    }
    return true;
}

scenario_runner::scenario_runner(simulator& host, transcript& output, std::string defaultLibrary)
    : host_(host), output_(output), defaultLibrary_(resolvedLibraryPath("", defaultLibrary)) {}

statement_result scenario_runner::fail(const std::string& where, const std::string& text) {
    output_.error(where, text);
    return statement_result::failed;
}

statement_result scenario_runner::runFile(const std::string& path, bool keepInstances) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return fail(path, "cannot open the scenario file");
    std::ostringstream read;
    read << input.rdbuf();
    std::string text = read.str();
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
    if (!keepInstances) host_.removeAll();
    if (host_.protocolErrors() != errorsBefore) worst = statement_result::failed;
    return worst;
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
    return result;
}

statement_result scenario_runner::runOne(const std::string& where, const std::string& line) {
    std::vector<token> words;
    std::string problem;
    if (!tokenize(line, words, problem)) return fail(where, problem);
    nelk_process_guard::setWhere(where.c_str());
    nelk_process_guard::setEvent("");
    if (words.empty()) return statement_result::ok;
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
