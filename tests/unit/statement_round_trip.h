// A statement written by the kit's writer and read back by its reader, compared word by word:
// the round trip both the kit's own tests and nelk-host's statement table hold to.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario_words.h"

namespace nelk_tests {

// Success when `words`, written as one statement line, read back as the same texts with the same
// quoting; otherwise says the line and the first word that differs. `line` receives the written line.
inline ::testing::AssertionResult readsBackAsWritten(const std::vector<nelk_test_kit::statement_word>& words,
                                                     std::vector<nelk_test_kit::statement_word>& read) {
    const std::string line = nelk_test_kit::writeStatement(words);
    std::string problem;
    read.clear();
    if (!nelk_test_kit::readStatementWords(line, read, problem))
        return ::testing::AssertionFailure() << line << " does not read: " << problem;
    if (read.size() != words.size())
        return ::testing::AssertionFailure() << line << " reads as " << read.size() << " words, not " << words.size();
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (read[i].text != words[i].text || read[i].quoted != words[i].quoted)
            return ::testing::AssertionFailure() << line << ": word " << i + 1 << " reads as \"" << read[i].text << "\""
                                                 << (read[i].quoted ? " (quoted)" : "");
    }
    return ::testing::AssertionSuccess();
}

}  // namespace nelk_tests
