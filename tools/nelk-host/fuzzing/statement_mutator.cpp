#include "fuzzing/statement_mutator.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "scenario/statements.h"

namespace nelk_fuzzing {

namespace {

using nelk_test_kit::statement_word;

const char* const durations[] = {"10ms", "50ms", "100ms", "250ms", "1s", "2s", "5s", "10s"};
const std::size_t mostTextBytes = 512;
const std::size_t mostStatements = 32;  // in a mutated input

std::size_t below(std::size_t count, std::minstd_rand& random) {
    return count == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
}

bool chance(int inOf, std::minstd_rand& random) { return below(static_cast<std::size_t>(inOf), random) == 0; }

statement_word bare(const std::string& text) { return statement_word{text, false}; }
statement_word quoted(const std::string& text) { return statement_word{text, true}; }

bool isNumber(const statement_word& word) {
    if (word.quoted || word.text.empty()) return false;
    char* end = nullptr;
    std::strtoll(word.text.c_str(), &end, 10);
    return *end == '\0';
}

bool isDuration(const statement_word& word) {
    long long milliseconds = 0;
    return nelk_host_tool::readDuration(word, milliseconds);
}

// Whether the statement's second word names an instance (its usage says "NAME ...").
bool takesInstance(const statement& words) {
    const nelk_host_tool::statement_form* form = nelk_host_tool::formOf(words);
    return form != nullptr && std::string(form->usage).find(" NAME") == std::string(form->name).size();
}

// The instances the input creates, in order; "p1" when it creates none.
std::vector<std::string> instancesOf(const std::vector<statement>& statements) {
    std::vector<std::string> names;
    for (const statement& words : statements)
        if (words[0].text == "load" && std::find(names.begin(), names.end(), words[1].text) == names.end())
            names.push_back(words[1].text);
    if (names.empty()) names.push_back("p1");
    return names;
}

}  // namespace

statement_mutator::statement_mutator(fuzz_dictionary& dictionary, byte_mutator bytes) : dictionary_(dictionary), bytes_(bytes) {}

void statement_mutator::learn(const std::vector<statement>& statements) {
    for (const statement& words : statements) {
        for (std::size_t at = 1; at < words.size(); ++at) {
            if (isNumber(words[at])) dictionary_.addNumber(std::strtoll(words[at].text.c_str(), nullptr, 10));
            else if (at >= 2 && !words[at].isNull() && !isDuration(words[at])) dictionary_.addText(words[at].text);
        }
    }
}

std::string statement_mutator::changedText(const std::string& text, std::minstd_rand& random) const {
    const int how = static_cast<int>(below(7, random));
    if ((how == 0 || bytes_ == nullptr) && dictionary_.texts() > 0) return dictionary_.text(random);
    if (how == 1 && dictionary_.texts() > 0) return text + dictionary_.text(random);
    if (how == 2) return text.substr(0, below(text.size() + 1, random));
    if (how == 3) {
        // A length at which buffers end: around the powers of two.
        static const std::size_t lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 255, 256};
        const std::size_t length = lengths[below(sizeof lengths / sizeof lengths[0], random)];
        std::string resized = text.substr(0, length);
        while (resized.size() < length) resized += text.empty() ? std::string(1, 'A') : text.substr(0, length - resized.size());
        return resized;
    }
    if (bytes_ == nullptr) return text + text;
    std::string changed = text;
    const std::size_t room = std::min(mostTextBytes, text.size() * 2 + 16);
    changed.resize(room);
    const std::size_t size = bytes_(reinterpret_cast<std::uint8_t*>(&changed[0]), text.size(), room);
    changed.resize(std::min(size, room));
    // A statement's texts reach a component as C texts: no zero byte in them.
    changed.erase(std::remove(changed.begin(), changed.end(), '\0'), changed.end());
    return changed;
}

void statement_mutator::changeWord(statement& words, std::minstd_rand& random) const {
    if (words.size() < 2) return;
    const std::size_t first = takesInstance(words) ? 2 : 1;
    if (words.size() <= first) return;
    // A text word twice as often as any other: texts are where a component's choices hide.
    std::size_t at = first + below(words.size() - first, random);
    for (std::size_t again = 0; again < 2 && (isNumber(words[at]) || isDuration(words[at])); ++again)
        at = first + below(words.size() - first, random);
    statement_word& word = words[at];
    if (word.text == "->" && !word.quoted) return;
    if (isDuration(word)) {
        word = bare(durations[below(sizeof durations / sizeof durations[0], random)]);
    } else if (isNumber(word)) {
        long long number = dictionary_.number(random);
        if (words[0].text == "raw" && &word == &words[2]) number = static_cast<long long>(below(9, random));
        word = bare(std::to_string(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, number))));
    } else if (word.isNull()) {
        word = quoted(dictionary_.text(random));
    } else if (!word.quoted && (word.text == "every" || word.text == "after" || word.text == "stop")) {
        static const char* const hows[] = {"every", "after"};
        if (word.text != "stop") word = bare(hows[below(2, random)]);
    } else {
        word = chance(12, random) ? bare("null") : quoted(changedText(word.text, random));
    }
}

statement statement_mutator::made(const std::vector<statement>& statements, std::minstd_rand& random) const {
    const std::vector<std::string> names = instancesOf(statements);
    const std::string name = names[below(names.size(), random)];
    const auto number = [&] { return bare(std::to_string(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, dictionary_.number(random))))); };
    const auto text = [&] { return quoted(dictionary_.text(random)); };
    const auto duration = [&] { return bare(durations[below(sizeof durations / sizeof durations[0], random)]); };
    switch (below(14, random)) {
    case 0:
    case 1: return {bare("command"), bare(name), text()};
    case 2: return {bare("control"), bare(name), text(), text()};
    case 3:
    case 4: return {bare("notify"), bare(name), number(), number(), text()};
    case 5: return {bare("timer"), bare(name), number(), bare(chance(2, random) ? "every" : "after"), duration()};
    case 6: return {bare("timer"), bare(name), number()};
    case 7: return {bare("advance"), chance(3, random) ? bare("next") : duration()};
    case 8: return {bare("number"), bare(name), number()};
    case 9: return {bare("data"), bare(name), text()};
    case 10: return {bare("raw"), bare(name), bare(std::to_string(below(9, random))), chance(2, random) ? bare("null") : number()};
    case 11: return {bare("slot"), number(), number(), text()};
    case 12: {
        const std::string& line = dictionary_.answerable(random);
        if (!line.empty()) return {bare("answer"), bare(name), quoted(line), line.rfind("PS", 0) == 0 ? number() : text()};
        return {bare("command"), bare(name), text()};
    }
    default:
        if (chance(2, random)) return {bare("delete"), bare(name)};
        return {bare("load"), bare(chance(2, random) ? name : "p" + std::to_string(names.size() + 1)), bare("default")};
    }
}

void statement_mutator::mutate(std::vector<statement>& statements, std::minstd_rand& random) {
    learn(statements);
    // A long input spreads the changes thin: past the bound, statements go at random.
    while (statements.size() > mostStatements)
        statements.erase(statements.begin() + static_cast<std::ptrdiff_t>(below(statements.size(), random)));
    if (statements.empty()) {
        statements.push_back({bare("load"), bare("p1"), bare("default")});
        return;
    }
    const std::size_t at = below(statements.size(), random);
    // As many statements go as come, so that inputs stay short and a change falls on the
    // statements that matter; most mutations change a word.
    switch (below(10, random)) {
    case 0: statements.insert(statements.begin() + static_cast<std::ptrdiff_t>(below(statements.size() + 1, random)), made(statements, random)); break;
    case 1: statements.insert(statements.begin() + static_cast<std::ptrdiff_t>(below(statements.size() + 1, random)), statements[at]); break;
    case 2:
    case 3:
        if (statements.size() > 1) statements.erase(statements.begin() + static_cast<std::ptrdiff_t>(at));
        break;
    case 4: std::swap(statements[at], statements[below(statements.size(), random)]); break;
    default: changeWord(statements[at], random); break;
    }
}

std::vector<statement> statement_mutator::cross(const std::vector<statement>& first, const std::vector<statement>& second,
                                                std::minstd_rand& random) const {
    std::vector<statement> child = first;
    if (second.empty()) return child;
    const std::size_t start = below(second.size(), random);
    const std::size_t count = 1 + below(std::min<std::size_t>(second.size() - start, 16), random);
    child.insert(child.begin() + static_cast<std::ptrdiff_t>(below(child.size() + 1, random)),
                 second.begin() + static_cast<std::ptrdiff_t>(start), second.begin() + static_cast<std::ptrdiff_t>(start + count));
    return child;
}

}  // namespace nelk_fuzzing
