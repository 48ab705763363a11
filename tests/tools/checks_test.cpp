// The validator's tables of checks (validator/checks.cpp, image_checks.cpp) as --list and
// docs/validator.md give them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "validator/checks.h"
#include "validator/image_checks.h"
#include "validator/validator.h"

namespace {

TEST(CheckTableTest, TheDocumentListsEveryCheckAsListSaysIt) {
    std::ifstream input(NELK_SOURCE_DIR "/docs/validator.md");
    ASSERT_TRUE(input);
    const std::string document((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    for (const auto* table : {&nelk_validator::imageChecks(), &nelk_validator::allChecks()}) {
        for (const nelk_validator::check& each : *table) {
            const std::string row = std::string("| `") + each.id + "` | " + each.guarantee + " |";
            EXPECT_NE(document.find(row), std::string::npos) << row;
            EXPECT_NE(nelk_validator::checkList().find(each.guarantee), std::string::npos) << each.id;
        }
    }
}

}  // namespace
