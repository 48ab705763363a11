// The fuzz program's entry points for libFuzzer, linked into every program nelk_add_fuzz_test
// makes: each input is a scenario run on a fresh headless host (fuzz_input.h), mutated statement
// by statement (statement_mutator.h). The program also runs one input file as a replay (its run
// shown on standard error), and saves a finding:
//   PROGRAM --nelk-save-finding ARTIFACT FOLDER [NELK_HOST]
// The fuzz build of the component is named by nelk_fuzz_library, which the program's generated
// source defines (NELK_FUZZ_LIBRARY in the environment overrides it). The fuzzer's thread.
#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "component_library.h"
#include "fuzzing/finding_files.h"
#include "fuzzing/fuzz_dictionary.h"
#include "fuzzing/fuzz_input.h"
#include "image/library_texts.h"
#include "fuzzing/statement_mutator.h"

extern "C" const char nelk_fuzz_library[];
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using namespace nelk_fuzzing;

struct driver_state {
    input_settings settings;
    fuzz_dictionary dictionary;
    statement_mutator mutator{dictionary, LLVMFuzzerMutate};
    // Held for the whole run, so that the library stays mapped between inputs: its coverage
    // counters live in it.
    std::unique_ptr<nelk_test_kit::component_library> kept;
    // What the last inputs' components sent and answered, one a line ('S' or 'A' first), learnt
    // by the next mutation. Its room is reserved once: an input that leaves memory allocated
    // makes libFuzzer look for a leak, at a hundred times the input's cost.
    std::string heard;
};

driver_state& state() {
    static driver_state* const held = new driver_state;  // never destroyed: inputs run until exit
    return *held;
}

const std::size_t roomHeard = std::size_t(1) << 16;

void learnFrom(const input_outcome& outcome) {
    for (const std::string& line : outcome.sent) state().dictionary.addSentLine(line);
    for (const std::string& answer : outcome.answers) state().dictionary.addAnswer(answer, true);
}

// Within the room reserved, without allocating: what does not fit waits for another input.
void keepHeard(char tag, const std::string& text) {
    std::string& heard = state().heard;
    if (text.find('\n') != std::string::npos || heard.size() + text.size() + 2 > roomHeard) return;
    heard += tag;
    heard += text;
    heard += '\n';
}

void learnHeard() {
    std::string& heard = state().heard;
    for (std::size_t start = 0; start < heard.size();) {
        const std::size_t end = heard.find('\n', start);
        const std::string text = heard.substr(start + 1, end - start - 1);
        if (heard[start] == 'S') state().dictionary.addSentLine(text);
        else state().dictionary.addAnswer(text, false);
        start = end + 1;
    }
    heard.clear();
}

// Whether a text of the library's could be one a host sends: not a path, a type's name or a
// sanitizer's description of one.
bool looksSent(const std::string& text) {
    const unsigned char first = static_cast<unsigned char>(text[0]);
    return text.size() <= 64 && (std::isalpha(first) || first == '_') && text.find('/') == std::string::npos &&
           text.find("nelk_") == std::string::npos;
}

// The component's own words: the texts its library holds, its answers to "_commands" and "return=all".
void probeComponent() {
    for (const std::string& text : nelk_image::libraryTexts(state().settings.library))
        if (looksSent(text)) state().dictionary.addOwnText(text);
    const std::vector<statement> probe = readInput("load p1 default\ncommand p1 _commands\ncommand p1 return=all\n");
    input_settings quiet = state().settings;
    quiet.transcript = nullptr;
    learnFrom(runInput(probe, quiet));
}

bool isFile(const char* path) {
    struct stat status {};
    return path[0] != '-' && stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

int saveFindingAndExit(int count, char** arguments) {
    if (count < 4) {
        std::fprintf(stderr, "usage: %s --nelk-save-finding ARTIFACT FOLDER [NELK_HOST]\n", arguments[0]);
        return 2;
    }
    finding_settings settings;
    std::error_code error;
    settings.program = std::filesystem::absolute(arguments[0], error).string();
    settings.library = state().settings.library;
    settings.folder = arguments[3];
    settings.nelkHost = count > 4 ? arguments[4] : "";
    const saved_finding saved = saveFinding(arguments[2], settings);
    if (saved.path.empty()) {
        std::fprintf(stderr, "nelk-fuzz: no finding saved: %s\n", saved.problem.c_str());
        return 1;
    }
    std::fprintf(stderr, "nelk-fuzz: %s: %s (%d statements, %d tries)\nnelk-fuzz: finding: %s\n", saved.found.name.c_str(),
                 saved.found.signature.c_str(), saved.statements, saved.tries, saved.path.c_str());
    if (saved.savedBefore) std::fprintf(stderr, "nelk-fuzz: the same fault as this finding saved before; no new file\n");
    if (!settings.nelkHost.empty())
        std::fprintf(stderr, "nelk-fuzz: nelk-host run on it %s\n",
                     saved.replaysInNelkHost ? "fails the same way" : "does NOT fail the same way");
    return 1;
}

// The statements as an input in `out`, as many whole ones as fit in `maxSize` bytes (a
// statement is a line); the input's size.
std::size_t writeWithin(const std::vector<statement>& statements, std::uint8_t* out, std::size_t maxSize) {
    const std::string text = writeInput(statements);
    std::size_t size = text.size();
    if (size > maxSize) {
        const std::size_t lastEnd = maxSize == 0 ? std::string::npos : text.rfind('\n', maxSize - 1);
        size = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    }
    std::memcpy(out, text.data(), size);
    return size;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* count, char*** arguments) {
    const char* library = std::getenv("NELK_FUZZ_LIBRARY");
    state().settings.library = library != nullptr && library[0] != '\0' ? library : nelk_fuzz_library;
    state().kept = std::make_unique<nelk_test_kit::component_library>(state().settings.library);
    if (!state().kept->loaded()) {
        std::fprintf(stderr, "nelk-fuzz: %s\n", state().kept->error().c_str());
        std::exit(2);
    }
    if (*count >= 2 && std::strcmp((*arguments)[1], "--nelk-save-finding") == 0) std::exit(saveFindingAndExit(*count, *arguments));
    // One input file (not a corpus folder): a replay, shown as nelk-host run shows it.
    for (int at = 1; at < *count; ++at)
        if (isFile((*arguments)[at])) state().settings.transcript = stderr;
    probeComponent();
    state().heard.reserve(roomHeard);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<statement> statements = readInput(std::string(reinterpret_cast<const char*>(data), size));
    const input_outcome outcome = runInput(statements, state().settings);
    for (const std::string& line : outcome.sent) keepHeard('S', line);
    for (const std::string& answer : outcome.answers) keepHeard('A', answer);
    if (outcome.breached) {
        std::fprintf(stderr, "%s\n", breachReport(outcome.breach).c_str());
        std::abort();
    }
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    learnHeard();
    std::minstd_rand random(seed);
    std::vector<statement> statements = readInput(std::string(reinterpret_cast<const char*>(data), size));
    const int rounds = 1 + static_cast<int>(random() % 3);
    for (int round = 0; round < rounds; ++round) state().mutator.mutate(statements, random);
    return writeWithin(statements, data, maxSize);
}

extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* first, std::size_t firstSize, const std::uint8_t* second,
                                                 std::size_t secondSize, std::uint8_t* out, std::size_t maxSize, unsigned seed) {
    std::minstd_rand random(seed);
    std::vector<statement> child =
        state().mutator.cross(readInput(std::string(reinterpret_cast<const char*>(first), firstSize)),
                              readInput(std::string(reinterpret_cast<const char*>(second), secondSize)), random);
    return writeWithin(child, out, maxSize);
}
