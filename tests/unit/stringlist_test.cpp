// nelk_stringlist: splitting, joining, iteration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nelk_string.h"

namespace {

std::vector<std::string> items(const nelk_stringlist& list) {
    std::vector<std::string> result;
    for (nelk_stringlistIterator it = list.begin(); it != list.end(); ++it) result.emplace_back(*it);
    return result;
}

TEST(StringListTest, SplitsEveryPieceWithoutTrimming) {
    struct row { const char* input; std::vector<std::string> expected; };
    const row rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a,b,c", {"a", "b", "c"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {",", {"", ""}},
        {" a , b ", {" a ", " b "}},
        {"alm_1,alm_1", {"alm_1", "alm_1"}},
    };
    for (const row& r : rows) {
        const nelk_stringlist list(r.input, ',');
        EXPECT_EQ(items(list), r.expected) << '"' << r.input << '"';
        EXPECT_EQ(list.count(), static_cast<int>(r.expected.size()));
    }
}

TEST(StringListTest, ToStringJoinsWithNothingAround) {
    nelk_stringlist list;
    EXPECT_STREQ(list.toString('\n'), "");
    list << "InfoDriverID=12" << "Slot=7";
    EXPECT_STREQ(list.toString('\n'), "InfoDriverID=12\nSlot=7");
    nelk_stringlist one;
    one << "";
    EXPECT_STREQ(one.toString('\n'), "");
    nelk_stringlist fromEmpty(nelk_string(), ',');
    fromEmpty << "x";
    EXPECT_STREQ(fromEmpty.toString('\n'), "x");  // no leading separator
}

TEST(StringListTest, CopiesAreIndependent) {
    nelk_stringlist original("a,b", ',');
    nelk_stringlist copy(original);
    copy << "c";
    EXPECT_EQ(original.count(), 2);
    EXPECT_EQ(items(copy), (std::vector<std::string>{"a", "b", "c"}));
}

}  // namespace
