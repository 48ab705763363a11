// The fuzz driver's parts: inputs read and admitted as a replay runs them, the statement mutator
// and its dictionary, the library's texts, the faults told from a replay's output, and the
// breach oracle on a real component.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzzing/finding_files.h"
#include "fuzzing/fuzz_dictionary.h"
#include "fuzzing/fuzz_input.h"
#include "image/library_texts.h"
#include "runner/sanitizer_preload.h"
#include "fuzzing/statement_mutator.h"
#include "test_files.h"

namespace {

using namespace nelk_fuzzing;

std::string admittedText(const std::string& text) { return writeInput(admitted(readInput(text), input_limits{})); }

TEST(FuzzInputTest, OnlyWhatAReplayRunsTheSameIsAdmitted) {
    struct row {
        const char* input;
        const char* admitted;
    };
    const row rows[] = {
        {"load p1\ncommand p1 \"a b\"\n", "load p1\ncommand p1 \"a b\"\n"},
        {"# a comment\n\nnot-a-statement x\ncommand p1\ncommand p1 \"open\n", ""},  // unknown, too few words, unclosed
        {"library /x/lib.so\nload p1 /x/lib.so \"text\"\n", "load p1 default \"text\"\n"},
        {"check p1 c value 1\nexpect p1 nothing\nshow p1\nsave f\nclock run\n", ""},
        {"advance 10s\nadvance 11s\nadvance next\n", "advance 10s\nadvance next\n"},
        {"advance 10s\nadvance 10s\nadvance 10s\nadvance 1ms\n", "advance 10s\nadvance 10s\nadvance 10s\n"},
        {"timer p1 1 every 1ms\ntimer p1 1 every 10ms\ntimer p1 2 stop\n", "timer p1 1 every 10ms\ntimer p1 2 stop\n"},
        {"load a\nload b\nload c\nload d\nload e\nload f\nload g\nload h\nload i\n",
         "load a\nload b\nload c\nload d\nload e\nload f\nload g\nload h\n"},
    };
    for (const row& each : rows) {
        const std::string once = admittedText(each.input);
        EXPECT_EQ(once, each.admitted) << each.input;
        EXPECT_EQ(admittedText(once), once) << "admitting again changes " << each.input;
    }
}

TEST(FuzzInputTest, AnInputHoldsAtMostItsBoundOfStatements) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "number p1 " + std::to_string(i) + "\n";
    EXPECT_EQ(admitted(readInput(text), input_limits{}).size(), input_limits{}.mostStatements);
}

TEST(FuzzDictionaryTest, AComponentsCommandsGiveItsSettingsTheirValuesAndNumbers) {
    fuzz_dictionary dictionary;
    dictionary.addAnswer("mode=[arm|idle]\nCode=[value]\nLevel=[0..3]", true);
    std::minstd_rand random(1);
    std::vector<std::string> drawn;
    for (int i = 0; i < 400; ++i) drawn.push_back(dictionary.text(random));
    for (const char* wanted : {"mode=arm", "mode=idle", "mode=", "Code=", "Level=", "mode=[arm|idle]"})
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), wanted), drawn.end()) << wanted;
    EXPECT_EQ(std::find(drawn.begin(), drawn.end(), "Code=value"), drawn.end());
    std::vector<long long> numbers;
    for (int i = 0; i < 400; ++i) numbers.push_back(dictionary.number(random));
    for (const long long wanted : {0LL, 3LL, 4LL})
        EXPECT_NE(std::find(numbers.begin(), numbers.end(), wanted), numbers.end()) << wanted;
}

TEST(FuzzDictionaryTest, TheComponentsOwnTextsOutweighTheInputsNoise) {
    fuzz_dictionary dictionary(64);
    dictionary.addOwnText("state=held");
    for (int i = 0; i < 1000; ++i) dictionary.addText("noise " + std::to_string(i));
    std::minstd_rand random(3);
    int own = 0;
    for (int i = 0; i < 1000; ++i) own += dictionary.text(random) == "state=held";
    EXPECT_GT(own, 300);
}

TEST(FuzzDictionaryTest, RegisteredDriversAndSlotsAndAnswerableLinesAreLearnt) {
    fuzz_dictionary dictionary;
    dictionary.addSentLine("IR 812 4001 4002");
    dictionary.addSentLine("IW 812 'room 99' 4001 0");
    dictionary.addSentLine("TG '1' 'lock' 'state'");
    std::minstd_rand random(5);
    std::vector<long long> numbers;
    for (int i = 0; i < 600; ++i) numbers.push_back(dictionary.number(random));
    for (const long long wanted : {812LL, 4001LL, 4002LL})
        EXPECT_NE(std::find(numbers.begin(), numbers.end(), wanted), numbers.end()) << wanted;
    EXPECT_EQ(std::find(numbers.begin(), numbers.end(), 99LL), numbers.end()) << "a number inside IW's text is no slot";
    EXPECT_EQ(dictionary.answerable(random), "TG '1' 'lock' 'state'");
}

// Any mutation of any input is a scenario again: every line a statement, within the bound.
TEST(StatementMutatorTest, MutationsKeepInputsWellFormedAndShort) {
    fuzz_dictionary dictionary;
    dictionary.addOwnText("mode=arm");
    statement_mutator mutator(dictionary, nullptr);
    std::minstd_rand random(7);
    std::vector<statement> statements = readInput("load p1\ncommand p1 \"mode=idle\"\nnotify p1 3 12 \"x\"\n");
    bool armed = false;
    for (int round = 0; round < 3000; ++round) {
        mutator.mutate(statements, random);
        const std::string text = writeInput(statements);
        ASSERT_EQ(readInput(text).size(), statements.size()) << text;
        ASSERT_LE(statements.size(), 33u);
        armed = armed || text.find("command p1 \"mode=arm\"") != std::string::npos;
    }
    EXPECT_TRUE(armed) << "the dictionary's text never reached a command";
}

TEST(StatementMutatorTest, CrossingPutsARunOfOneIntoTheOther) {
    fuzz_dictionary dictionary;
    statement_mutator mutator(dictionary, nullptr);
    std::minstd_rand random(11);
    const std::vector<statement> first = readInput("load p1\nnumber p1 1\n");
    const std::vector<statement> second = readInput("number p1 7\nnumber p1 8\n");
    const std::vector<statement> child = mutator.cross(first, second, random);
    EXPECT_GT(child.size(), first.size());
    EXPECT_NE(writeInput(child).find("number p1 "), std::string::npos);
    EXPECT_EQ(mutator.cross(first, {}, random).size(), first.size());
}

TEST(LibraryTextsTest, AComponentsComparedTextsAreFoundInItsLibrary) {
    const std::vector<std::string> texts = nelk_image::libraryTexts(NELK_SEQUENCE_CRASH_LIBRARY);
    for (const char* wanted : {"mode=arm", "mode=idle", "_commands"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), wanted), texts.end()) << wanted;
    EXPECT_TRUE(nelk_image::libraryTexts(writeFile("not_elf.so", "plain text, no library")).empty());
    EXPECT_TRUE(nelk_image::libraryTexts(testing::TempDir() + "no such library.so").empty());
}

TEST(SanitizerPreloadTest, TheLibrariesOfARunAreTheDefaultAndThoseItsFilesName) {
    const std::string file = writeFile("libraries.nelk", "library fuzz/libA.so\nload p1 default\nload p2 /abs/libB.so \"t\"\n"
                                                         "load p3\n# library commented.so\ncommand p1 \"library x\"\n");
    const std::string folder = file.substr(0, file.rfind('/'));
    const std::vector<std::string> libraries = nelk_host_tool::librariesOfRun("/default/lib.so", {file});
    const std::vector<std::string> expected = {"/default/lib.so", folder + "/fuzz/libA.so", "/abs/libB.so"};
    EXPECT_EQ(libraries, expected);
    // A library that names no runtime needs no restart: the call returns, and this test goes on.
    EXPECT_TRUE(nelk_host_tool::restartWithSanitizersFor({NELK_SEQUENCE_CRASH_LIBRARY}));
    EXPECT_EQ(nelk_image::libraryTextAfter(NELK_SEQUENCE_CRASH_LIBRARY, nelk_image::sanitizerRuntimeMark), "");
}

TEST(FaultTest, AReplaysOutputNamesItsFault) {
    struct row {
        const char* output;
        const char* name;
        const char* signature;
    };
    const row rows[] = {
        {"host> p1 ...\nnelk-fuzz: FINDING breach: gave back the answer to \"TG '1'\" twice\n==1== ERROR: libFuzzer: deadly signal\n",
         "breach", "nelk-fuzz: FINDING breach: gave back the answer to"},
        {"==1==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x6\nWRITE of size 8\n"
         "    #0 0x55 in __asan_memcpy (/bin/fuzz+0x35)\n    #1 0x7f in Code::copy(char const*) /src/code.cpp:40:9\n"
         "SUMMARY: AddressSanitizer: heap-buffer-overflow (/bin/fuzz+0x35) in __asan_memcpy\n",
         "heap-buffer-overflow", "AddressSanitizer: heap-buffer-overflow in Code::copy(char const*)"},
        {"==1==ERROR: AddressSanitizer: SEGV on unknown address\n    #0 0x7f in Panel::show() (/lib/x.so+0x1)\n"
         "SUMMARY: AddressSanitizer: SEGV (/lib/x.so+0x1) in Panel::show()\n",
         "SEGV", "AddressSanitizer: SEGV in Panel::show()"},
        {"==1==ERROR: LeakSanitizer: detected memory leaks\nDirect leak of 24 byte(s)\n", "leak",
         "LeakSanitizer: detected memory leaks"},
        {"/src/level.cpp:12:5: runtime error: index 5 out of bounds for type 'int[4]'\n", "undefined-behaviour",
         "level.cpp:12:5: runtime error"},
        {"==1== ERROR: libFuzzer: timeout after 10 seconds\n", "hang", "libFuzzer: timeout"},
        {"==1== ERROR: libFuzzer: deadly signal\n", "crash", "libFuzzer: deadly signal"},
        {"INFO: Running 1 inputs\nExecuted in 3 ms\n", "", ""},
    };
    for (const row& each : rows) {
        const fault found = faultIn(each.output);
        EXPECT_EQ(found.name, each.name) << each.output;
        EXPECT_EQ(found.signature, each.signature) << each.output;
    }
}

input_outcome runOn(const std::string& library, const std::string& text) {
    input_settings settings;
    settings.library = library;
    return runInput(readInput(text), settings);
}

TEST(FuzzInputTest, ABreachOfTheHostsRulesIsTheOracleAndStopsTheInput) {
    const char* held = "load p1\nanswer p1 \"TG '1' 'lock' 'state'\" \"state=held\"\nnumber p1 1\nnumber p1 2\nnumber p1 3\n";
    const input_outcome breached = runOn(NELK_SEQUENCE_GIVE_BACK_LIBRARY, held);
    EXPECT_TRUE(breached.breached);
    EXPECT_NE(breached.breach.find("twice"), std::string::npos) << breached.breach;
    EXPECT_EQ(breached.ran.size(), 4u) << "the input goes on after its breach";

    const input_outcome free = runOn(NELK_SEQUENCE_GIVE_BACK_LIBRARY, "load p1\nnumber p1 1\nnumber p1 2\n");
    EXPECT_FALSE(free.breached) << free.breach;
    EXPECT_NE(std::find(free.sent.begin(), free.sent.end(), "TG '1' 'lock' 'state'"), free.sent.end());

    const input_outcome commands = runOn(NELK_SEQUENCE_CRASH_LIBRARY, "load p1\ncommand p1 _commands\n");
    ASSERT_EQ(commands.answers.size(), 1u);
    EXPECT_EQ(commands.answers[0], "mode=[arm|idle]\nCode=[value]");
}

}  // namespace
