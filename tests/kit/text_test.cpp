// Text routines: ASCII-only case, equal lengths, numbers read wrapping.
#include <gtest/gtest.h>

#include <string>

#include "host/protocol.h"
#include "kit/text.h"

using namespace idlewarden;

namespace {

TEST(Text, LengthCountsBytesBeforeTheNul) {
    EXPECT_EQ(textLength(""), 0u);
    EXPECT_EQ(textLength("abc"), 3u);
    EXPECT_EQ(textLength("ab\0cd"), 2u);
    EXPECT_EQ(textLength(std::string(1000, 'x').c_str()), 1000u);
}

TEST(Text, ToLowerAsciiChangesOnlyAToZ) {
    for (int c = 0; c < 256; ++c) {
        const char in = static_cast<char>(c);
        const char expected = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : in;
        EXPECT_EQ(toLowerAscii(in), expected) << c;
    }
    EXPECT_EQ(toLowerAscii('@'), '@');
    EXPECT_EQ(toLowerAscii('['), '[');
    EXPECT_EQ(toLowerAscii('\xC9'), '\xC9');
}

TEST(Text, EqualsIgnoreCaseTable) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"Bob", "bOB", true},   {"Bob", "Bob ", false},           {"", "", true},    {"", "a", false},
        {"abc", "abcd", false}, {"a\xC9", "a\xE9", false},        {"@", "`", false}, {"[", "{", false},
        {"Z9_", "z9_", true},   {"\xC9t\xC9", "\xC9T\xC9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(equalsIgnoreCase(c.a, c.b), c.equal);
        EXPECT_EQ(equalsIgnoreCase(c.b, c.a), c.equal);
    }
}

TEST(Text, IsNumericTable) {
    for (const char* yes : {"0", "-0", "007", "1234567890123456789012345", "-65536"}) {
        EXPECT_TRUE(isNumeric(yes)) << yes;
    }
    for (const char* no : {"", "-", "+5", " 5", "5 ", "1-2", "--1", "12a", "1.5", "five", "-a", "5\t"}) {
        EXPECT_FALSE(isNumeric(no)) << no;
    }
}

TEST(Text, TextToNumberTable) {
    struct Case {
        const char* text;
        uint32_t base;
        int32_t value;
    };
    const Case cases[] = {
        {"42", 10, 42},
        {"-42", 10, -42},
        {"", 10, 0},
        {"-", 10, 0},
        {"2147483648", 10, INT32_MIN},
        {"4294967295", 10, -1},
        {"4294967296", 10, 0},
        {"4294967297", 10, 1},
        {"0015", 10, 15},
        {"-5", 10, -5},
        {"ff", 16, 255},
        {"FF", 16, 255},
        {"z", 36, 35},
        {"101", 2, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " base " + std::to_string(c.base));
        EXPECT_EQ(textToNumber(c.text, c.base), c.value);
    }
}

CommandRecord record(const char* name, const char* params) {
    CommandRecord r{};
    r.name = name;
    r.params = params;
    return r;
}

TEST(Text, IsCommandIsExact) {
    EXPECT_TRUE(isCommand(record("afktime", ""), "afktime"));
    for (const char* no : {"AfkTime", "AFKTIME", "afktimes", "afk", "", " afktime", "afktime "}) {
        EXPECT_FALSE(isCommand(record(no, ""), "afktime")) << no;
    }
}

TEST(Text, IsTopicIgnoresCaseButNotLength) {
    for (const char* yes : {"afktime", "AFKTIME", "AfkTime"}) EXPECT_TRUE(isTopic(record("", yes), "afktime")) << yes;
    for (const char* no : {"afktime ", " afktime", "!afktime", "afk", "", "afktimes"}) {
        EXPECT_FALSE(isTopic(record("", no), "afktime")) << no;
    }
}

}  // namespace
