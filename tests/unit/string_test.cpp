// nelk_string: conversions, comparison, split, arg, and the allocation cost of building lines.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "allocation_counter.h"
#include "nelk_string.h"

namespace {

std::string text(const nelk_string& value) { return std::string(value, static_cast<std::size_t>(value.length())); }

TEST(StringTest, NullCTextIsTheEmptyText) {
    const char* none = nullptr;
    nelk_string constructed(none);
    EXPECT_EQ(constructed.length(), 0);
    EXPECT_STREQ(constructed, "");
    nelk_string assigned("x");
    assigned = none;
    EXPECT_EQ(assigned.length(), 0);
    EXPECT_EQ(text(nelk_string("a") + none), "a");
    EXPECT_EQ(text(none + nelk_string("b")), "b");
    EXPECT_TRUE(nelk_string() == none);
    nelk_string appended("c");
    appended += none;
    EXPECT_EQ(text(appended), "c");
}

TEST(StringTest, EqualityIsExact) {
    struct row { const char* left; const char* right; bool equal; };
    const row rows[] = {
        {"value", "value", true}, {"value", "Value", false}, {"value", "value ", false},
        {" value", "value", false}, {"", "", true}, {"", "x", false}, {"abc", "ab", false}, {"ab", "abc", false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(nelk_string(r.left) == r.right, r.equal) << r.left << " vs " << r.right;
        EXPECT_EQ(nelk_string(r.left) == nelk_string(r.right), r.equal) << r.left << " vs " << r.right;
        EXPECT_EQ(nelk_string(r.left) != r.right, !r.equal);
    }
}

TEST(StringTest, ToIntReadsALeadingNumber) {
    struct row { const char* input; int expected; };
    const row rows[] = {
        {"12", 12}, {"  12", 12}, {"-7", -7}, {"+7", 7}, {"12abc", 12}, {"abc", 0}, {"", 0},
        {"a12", 0}, {"- 5", 0}, {"\t5", 0}, {"4", 4}, {"007", 7},
        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {"-99999999999999999999", INT_MIN},
    };
    for (const row& r : rows) EXPECT_EQ(nelk_string(r.input).toInt(), r.expected) << '"' << r.input << '"';
}

TEST(StringTest, FirstIntFindsTheFirstRunOfDigits) {
    struct row { const char* input; int expected; };
    const row rows[] = {
        {"12", 12}, {"Slot 7", 7}, {"x-5y", -5}, {"- 5", 5}, {"+5", 5}, {"abc", 0}, {"", 0},
        {"12 and 13", 12}, {"1.5", 1}, {"--3", -3}, {"0", 0},
        {"4294967308", INT_MAX},  // 2^32 + 12 must not wrap round into 12
        {"-4294967308", INT_MIN}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
    };
    for (const row& r : rows) EXPECT_EQ(nelk_string(r.input).firstInt(), r.expected) << '"' << r.input << '"';
}

TEST(StringTest, NumberConstructor) {
    struct row { int value; char fill; int width; int base; const char* expected; };
    const row rows[] = {
        {0, '\0', 0, 10, "0"}, {12, '\0', 0, 10, "12"}, {-3, '\0', 0, 10, "-3"},
        {INT_MIN, '\0', 0, 10, "-2147483648"}, {INT_MAX, '\0', 0, 10, "2147483647"},
        {255, '\0', 0, 16, "ff"}, {5, '0', 3, 10, "005"}, {5, '\0', 3, 10, "  5"}, {5, '.', -3, 10, "5.."},
        {7, '\0', 0, 99, "7"}, {5, '\0', 0, 2, "101"},
    };
    for (const row& r : rows) EXPECT_EQ(text(nelk_string(r.value, r.fill, r.width, r.base)), r.expected);
}

TEST(StringTest, SplitAtTheFirstSeparator) {
    struct row { const char* input; const char* left; const char* right; };
    const row rows[] = {
        {"value=4", "value", "4"}, {"a=b=c", "a", "b=c"}, {"novalue", "novalue", ""},
        {"=x", "", "x"}, {"x=", "x", ""}, {"", "", ""},
    };
    for (const row& r : rows) {
        nelk_string left("old");
        nelk_string right("old");
        nelk_string(r.input).split('=', left, right);
        EXPECT_EQ(text(left), r.left) << r.input;
        EXPECT_EQ(text(right), r.right) << r.input;
    }
}

TEST(StringTest, SplitIntoItself) {
    nelk_string whole("name=value");
    nelk_string rest;
    whole.split('=', whole, rest);
    EXPECT_EQ(text(whole), "name");
    EXPECT_EQ(text(rest), "value");
    nelk_string other("plain");
    nelk_string left;
    other.split('=', left, other);
    EXPECT_EQ(text(left), "plain");
    EXPECT_EQ(text(other), "");
}

TEST(StringTest, ArgReplacesEveryOccurrenceOfTheLowestMarker) {
    struct row { const char* format; const char* insert; const char* expected; };
    const row rows[] = {
        {"XI '%1' '%2'", "1", "XI '1' '%2'"},
        {"%2 then %1 and %1", "x", "%2 then x and x"},
        {"%3 %2", "a", "%3 a"},
        {"no marker", "x", "no marker"},
        {"%1", "%1", "%1"},          // the inserted text is not scanned again
        {"%1%2", "%2", "%2%2"},
        {"%10 %9", "x", "%10 x"},
        {"%10 %11", "x", "x %11"},
        {"100%", "x", "100%"},
        {"%0 %", "x", "%0 %"},
        {"", "x", ""},
        {"%1", "", ""},
    };
    for (const row& r : rows) EXPECT_EQ(text(nelk_string(r.format).arg(nelk_string(r.insert))), r.expected) << r.format;
    EXPECT_EQ(text(nelk_string("InfoDriverID=%1").arg(12, '\0', 0, 10)), "InfoDriverID=12");
    EXPECT_EQ(text(nelk_string("' %1 %2").arg(7, '\0', 0, 10).arg(0, '\0', 0, 10)), "' 7 0");
}

TEST(StringTest, ArgEachFillsInOnePass) {
    const nelk_string a("%2"), b("B"), c("C");
    const nelk_string* texts[] = {&a, &b, &c};
    EXPECT_EQ(text(nelk_string("[%1|%2|%3]").argEach(texts, 3)), "[%2|B|C]");
    EXPECT_EQ(text(nelk_string("[%5|%2]").argEach(texts, 3)), "[B|%2]");
    EXPECT_EQ(text(nelk_string("[%1|%2]").argEach(texts, 1)), "[%2|%2]");
}

TEST(StringTest, ConcatenationOperators) {
    const nelk_string left("left");
    const nelk_string right("right");
    EXPECT_EQ(text(left + right), "leftright");
    EXPECT_EQ(text(left + "-"), "left-");
    EXPECT_EQ(text("-" + right), "-right");
    EXPECT_EQ(text("a" + left + "b" + right + "c"), "aleftbrightc");
    nelk_string grown("x");
    grown += right;
    grown += "!";
    EXPECT_EQ(text(grown), "xright!");
    EXPECT_EQ(text(left), "left");  // operands untouched
}

TEST(StringTest, CopiesAreIndependent) {
    nelk_string original("shared text that is long enough to live on the heap");
    nelk_string copy(original);
    copy += " changed";
    EXPECT_EQ(text(original), "shared text that is long enough to live on the heap");
    nelk_string assigned;
    assigned = original;
    assigned = "other";
    EXPECT_EQ(text(original), "shared text that is long enough to live on the heap");
}

// On Windows nelk_string.dll carries its own runtime, whose allocations the test program's
// counter cannot see.
#if defined(_WIN32)
#define NELK_SKIP_WITHOUT_SHARED_ALLOCATOR() GTEST_SKIP() << "the DLL allocates with its own runtime"
#else
#define NELK_SKIP_WITHOUT_SHARED_ALLOCATOR() (void)0
#endif

TEST(StringTest, TextsUpTo47BytesDoNotAllocate) {
    NELK_SKIP_WITHOUT_SHARED_ALLOCATOR();
    const std::string fits(47, 'f');
    const std::string longer(48, 'l');
    allocation_counter counter;
    nelk_string value(fits.c_str());
    nelk_string copy(value);
    nelk_string moved(std::move(copy));
    moved += "";
    EXPECT_EQ(counter.count(), 0);
    nelk_string heap(longer.c_str());
    EXPECT_EQ(counter.count(), 1);
    nelk_string taken(std::move(heap));  // a move takes the block over
    EXPECT_EQ(counter.count(), 1);
    EXPECT_EQ(text(taken), longer);
    EXPECT_EQ(heap.length(), 0);
}

TEST(StringTest, AssignmentFromItsOwnBytes) {
    nelk_string value("a text that is long enough to need a heap block of its own");
    value = static_cast<const char*>(value) + 2;  // overlapping, shorter
    EXPECT_EQ(text(value), "text that is long enough to need a heap block of its own");
    nelk_string grown("abc");
    grown.append(grown, grown.length());
    grown.append(grown, grown.length());
    EXPECT_EQ(text(grown), "abcabcabcabc");
    const std::string big(100, 'b');
    nelk_string self(big.c_str());
    self.append(self, self.length());  // grows while reading its own old block
    EXPECT_EQ(text(self), big + big);
}

TEST(StringTest, AChainOfPlusAllocatesOnce) {
    NELK_SKIP_WITHOUT_SHARED_ALLOCATOR();
    const nelk_string panel("1");
    const nelk_string control("umdText");
    const nelk_string value("Camera 1 on the main stage");
    allocation_counter counter;
    const nelk_string line = "TP '" + nelk_string("text") + "=" + value + "' '" + panel + "' '" + control + "'";
    EXPECT_EQ(counter.count(), 1);
    EXPECT_EQ(text(line), "TP 'text=Camera 1 on the main stage' '1' 'umdText'");
}

}  // namespace
