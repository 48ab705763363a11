// The command path parser: every row of its edge-case table, the part limit, the one allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "nelk_script_helper.h"

namespace {

std::string dotted(int count, const char* tail) {
    std::string text = "a";
    for (int i = 1; i <= count; ++i) text += ".p" + std::to_string(i);
    return text + tail;
}

std::vector<std::string> numberedParts(int count) {
    std::vector<std::string> parts;
    for (int i = 1; i <= count; ++i) parts.push_back("p" + std::to_string(i));
    return parts;
}

struct row {
    bool isNull;
    std::string text;
    std::string name;
    std::vector<std::string> parts;
    std::string value;
    bool hasValue;
};

std::vector<row> rows() {
    std::vector<std::string> thirtyTwo = numberedParts(31);
    thirtyTwo.push_back("p32=v");
    std::vector<std::string> thirtyThree = numberedParts(31);
    thirtyThree.push_back("p32.p33");
    return {
        {true, "", "", {}, "", false},
        {false, "", "", {}, "", false},
        {false, "Slot", "Slot", {}, "", false},
        {false, "Slot=12", "Slot", {}, "12", true},
        {false, "Slot=", "Slot", {}, "", true},
        {false, "text=a.b=c", "text", {}, "a.b=c", true},
        {false, "a.b.c=5", "a", {"b", "c"}, "5", true},
        {false, "a.b=5.6", "a", {"b"}, "5.6", true},
        {false, "=5", "", {}, "5", true},
        {false, ".x", "", {"x"}, "", false},
        {false, "a..b", "a", {"", "b"}, "", false},
        {false, "a.", "a", {""}, "", false},
        {false, " spaced . part = v ", " spaced ", {" part "}, " v ", true},
        {false, dotted(31, "=v"), "a", numberedParts(31), "v", true},
        {false, dotted(32, "=v"), "a", thirtyTwo, "", false},
        {false, dotted(33, ""), "a", thirtyThree, "", false},
    };
}

// The copy holds zero bytes where separators stood, so its length is the original text's.
bool pointsInto(const parsedCommand& command, std::size_t length, const char* pointer) {
    if (command.buffer == nullptr) return false;
    return pointer >= command.buffer && pointer <= command.buffer + length;
}

TEST(ParsedCommandTest, EdgeCaseTable) {
    for (const row& r : rows()) {
        SCOPED_TRACE(r.isNull ? "(null)" : r.text);
        const parsedCommand command(r.isNull ? nullptr : r.text.c_str());
        EXPECT_EQ(std::string(command.name), r.name);
        ASSERT_EQ(command.partCount, static_cast<int>(r.parts.size()));
        for (int i = 0; i < command.partCount; ++i) EXPECT_EQ(std::string(command.parts[i]), r.parts[i]) << i;
        for (int i = command.partCount; i < 32; ++i) EXPECT_STREQ(command.parts[i], "") << i;
        EXPECT_EQ(std::string(command.value), r.value);
        EXPECT_EQ(command.hasValue, r.hasValue);
        if (r.text.empty()) {
            EXPECT_EQ(command.buffer, nullptr);
        }
        // Every field points into the one copy, or else at one shared empty text.
        const char* sharedEmpty = nullptr;
        std::vector<const char*> fields(command.parts, command.parts + 32);
        fields.push_back(command.name);
        fields.push_back(command.value);
        for (const char* field : fields) {
            if (pointsInto(command, r.text.size(), field)) continue;
            EXPECT_STREQ(field, "");
            if (sharedEmpty == nullptr) sharedEmpty = field;
            EXPECT_EQ(field, sharedEmpty);
        }
    }
}

TEST(ParsedCommandTest, OneAllocationOfExactlyLengthPlusOne) {
    const std::string texts[] = {"text=Camera 1", "a.b.c=5", dotted(40, "=v"), std::string(1024, 'x')};
    for (const std::string& text : texts) {
        allocation_counter counter;
        const parsedCommand command(text.c_str());
        EXPECT_EQ(counter.count(), 1) << text;
        EXPECT_EQ(counter.lastSize(), text.size() + 1) << text;
    }
    allocation_counter counter;
    const parsedCommand empty("");
    EXPECT_EQ(counter.count(), 0);
}

TEST(ParsedCommandTest, NoMemoryGivesTheEmptyRecord) {
    allocation_counter::failNothrowAllocations(true);
    const parsedCommand command("Slot=7");
    allocation_counter::failNothrowAllocations(false);
    EXPECT_EQ(command.buffer, nullptr);
    EXPECT_STREQ(command.name, "");
    EXPECT_STREQ(command.value, "");
    EXPECT_EQ(command.partCount, 0);
    EXPECT_FALSE(command.hasValue);
}

TEST(ParsedCommandTest, TheCopyIsIndependentOfTheInput) {
    std::string text = "Slot=7";
    const parsedCommand command(text.c_str());
    text[0] = 'X';
    text[5] = '9';
    EXPECT_STREQ(command.name, "Slot");
    EXPECT_STREQ(command.value, "7");
}

}  // namespace
