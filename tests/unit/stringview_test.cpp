// nelk_stringview and the inline building aids of the string library: views that stop at their
// length, byte moves that may overlap, numbers in any base.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "nelk_string.h"

namespace {

std::string text(nelk_stringview view) { return std::string(view.data(), static_cast<std::size_t>(view.length())); }

TEST(StringViewTest, NullIsEmptyAndAStringIsViewedInPlace) {
    const char* none = nullptr;
    EXPECT_EQ(nelk_stringview(none).length(), 0);
    EXPECT_STREQ(nelk_stringview(none).data(), "");
    const nelk_string grown(std::string(100, 'g').c_str());
    const nelk_stringview ofString = grown;
    EXPECT_EQ(ofString.data(), static_cast<const char*>(grown));
    EXPECT_EQ(ofString.length(), 100);
    EXPECT_EQ(text(nelk_string(nelk_stringview("abcdef", 3))), "abc");
}

TEST(StringViewTest, EqualityIsExact) {
    struct row { nelk_stringview left; const char* right; bool equal; };
    const row rows[] = {
        {nelk_stringview("value"), "value", true},   {nelk_stringview("value"), "Value", false},
        {nelk_stringview("value"), "value ", false}, {nelk_stringview("value", 4), "valu", true},
        {nelk_stringview("value", 4), "value", false}, {nelk_stringview(), "", true},
        {nelk_stringview(), nullptr, true},          {nelk_stringview("a\0b", 3), "a", false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(r.left == r.right, r.equal) << text(r.left) << " vs " << (r.right ? r.right : "(null)");
        EXPECT_EQ(r.left != r.right, !r.equal);
        EXPECT_EQ(r.left == nelk_stringview(r.right), r.equal);
    }
    EXPECT_TRUE(nelk_string("abc") == nelk_stringview("abc"));
}

// Views of a part of a text: nothing past the length is read, zero bytes or not.
TEST(StringViewTest, ConversionsStopAtTheLength) {
    struct row { const char* bytes; int length; int toInt; int firstInt; };
    const row rows[] = {
        {"123456", 3, 123, 123},   {"  -42x", 5, -42, -42}, {"ab12", 3, 0, 1},
        {"12", 0, 0, 0},           {"-", 1, 0, 0},          {"x-7", 3, 0, -7},
        {"99999999999", 11, INT_MAX, INT_MAX}, {"-99999999999", 12, INT_MIN, INT_MIN},
        {"7\0" "8", 3, 7, 7},
    };
    for (const row& r : rows) {
        const nelk_stringview view(r.bytes, r.length);
        EXPECT_EQ(view.toInt(), r.toInt) << '"' << r.bytes << "\" / " << r.length;
        EXPECT_EQ(view.firstInt(), r.firstInt) << '"' << r.bytes << "\" / " << r.length;
    }
}

TEST(StringViewTest, SplitAtTheFirstSeparatorWithinTheLength) {
    struct row { nelk_stringview input; bool found; const char* left; const char* right; };
    const row rows[] = {
        {nelk_stringview("name=value"), true, "name", "value"}, {nelk_stringview("a=b=c"), true, "a", "b=c"},
        {nelk_stringview("plain"), false, "plain", ""},         {nelk_stringview("=x"), true, "", "x"},
        {nelk_stringview("x="), true, "x", ""},                 {nelk_stringview(), false, "", ""},
        {nelk_stringview("ab=c", 2), false, "ab", ""},          {nelk_stringview("ab=c", 3), true, "ab", ""},
    };
    for (const row& r : rows) {
        nelk_stringview left("old");
        nelk_stringview right("old");
        EXPECT_EQ(r.input.split('=', left, right), r.found) << text(r.input);
        EXPECT_EQ(text(left), r.left) << text(r.input);
        EXPECT_EQ(text(right), r.right) << text(r.input);
    }
    // Into itself, as a walk over the pieces does it.
    nelk_stringview rest("a,,b");
    std::vector<std::string> pieces;
    for (bool more = true; more;) {
        nelk_stringview piece;
        more = rest.split(',', piece, rest);
        pieces.push_back(text(piece));
    }
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "", "b"}));
}

TEST(StringViewTest, ListFromAViewTakesOnlyItsBytes) {
    const nelk_stringlist list(nelk_stringview("alm_1,alm_2,alm_3", 11), ',');
    std::vector<std::string> items;
    for (const nelk_string& item : list) items.emplace_back(item);
    EXPECT_EQ(items, (std::vector<std::string>{"alm_1", "alm_2"}));
    EXPECT_EQ(nelk_stringlist(nelk_stringview(), ',').count(), 0);
}

// Every count the short forms cover and beyond, copied forwards and backwards over itself:
// the result must be memmove's.
TEST(MoveBytesTest, AgreesWithMemmoveForEveryCountAndOverlap) {
    for (int count = 0; count <= 40; ++count) {
        for (int shift = -17; shift <= 17; ++shift) {
            char moved[128];
            char expected[128];
            for (int i = 0; i < 128; ++i) moved[i] = expected[i] = static_cast<char>('A' + i % 50);
            const int from = 40;
            std::memmove(expected + from + shift, expected + from, static_cast<std::size_t>(count));
            nelk_moveBytes(moved + from + shift, moved + from, count);
            ASSERT_EQ(std::memcmp(moved, expected, sizeof moved), 0) << count << " bytes moved by " << shift;
        }
    }
}

TEST(MoveBytesTest, AssignTakesNoBytesForNullOrANegativeCount) {
    nelk_string value("old");
    value.assign(nullptr, 5);
    EXPECT_STREQ(value, "");
    value = "old";
    value.assign("xyz", -1);
    EXPECT_EQ(value.length(), 0);
}

TEST(WriteNumberTest, EveryBaseAndTheExtremes) {
    struct row { int value; int base; const char* expected; };
    const row rows[] = {
        {0, 10, "0"}, {-7, 10, "-7"}, {INT_MAX, 10, "2147483647"}, {INT_MIN, 10, "-2147483648"},
        {255, 16, "ff"}, {INT_MIN, 2, "-10000000000000000000000000000000"}, {35, 36, "z"},
        {12, 1, "12"}, {12, 37, "12"},  // outside 2 to 36: decimal
    };
    for (const row& r : rows) {
        char out[40];
        const char* end = nelk_writeNumber(out, r.value, r.base);
        EXPECT_EQ(std::string(out, static_cast<std::size_t>(end - out)), r.expected) << r.value << " in base " << r.base;
    }
}

}  // namespace
