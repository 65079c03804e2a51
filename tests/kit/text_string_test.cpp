// String and numberToText: exact sizes, counted copies, digits in any base.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "kit/text_string.h"

using idlewarden::numberToText;
using idlewarden::String;

namespace {

// The text of `s` checked against its invariant: NUL exactly at `length`.
std::string textOf(const String& s) {
    EXPECT_NE(s.c_str(), nullptr);
    EXPECT_EQ(s.c_str()[s.length], '\0');
    EXPECT_EQ(std::strlen(s.c_str()), s.length);
    return std::string(s.c_str(), s.length);
}

TEST(String, EmptyHasALengthZeroText) {
    String empty;
    EXPECT_EQ(empty.length, 0u);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(textOf(empty), "");
    String space(" ");
    EXPECT_FALSE(space.isEmpty());
    EXPECT_EQ(space.length, 1u);
}

TEST(String, FromNumberIsDecimal) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "0"}, {-7, "-7"}, {2147483647, "2147483647"}, {INT32_MIN, "-2147483648"}, {15, "15"},
    };
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(textOf(String(value)), text);
        String appended("AFK Time Limit: ");
        ASSERT_TRUE(appended.append(value));
        EXPECT_EQ(textOf(appended), std::string("AFK Time Limit: ") + text);
    }
}

TEST(String, CountedFormsCopyExactlyTheCount) {
    String s("AB");
    ASSERT_TRUE(s.append("cdefgh", 3));
    EXPECT_EQ(textOf(s), "ABcde");
    ASSERT_TRUE(s.append("xyz", 0));
    EXPECT_EQ(textOf(s), "ABcde");
    ASSERT_TRUE(s.prepend("12345", 2));
    EXPECT_EQ(textOf(s), "12ABcde");
    ASSERT_TRUE(s.prepend("", 0));
    EXPECT_EQ(textOf(s), "12ABcde");
    // A piece of a longer text, not ended by NUL at the count.
    const char piece[] = {'q', 'r', 's'};
    ASSERT_TRUE(s.assign(piece, 2));
    EXPECT_EQ(textOf(s), "qr");
    ASSERT_TRUE(s.append(std::string(300, 'z').c_str()));
    EXPECT_EQ(s.length, 302u);
    ASSERT_TRUE(s.assign("hi"));
    EXPECT_EQ(textOf(s), "hi");
    ASSERT_TRUE(s.assign("", 0));
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(textOf(s), "");
}

TEST(String, CopiesAreDeep) {
    String a("one");
    String b(a);
    String c;
    c = a;
    ASSERT_TRUE(a.append("!"));
    EXPECT_NE(a.c_str(), b.c_str());
    EXPECT_EQ(textOf(a), "one!");
    EXPECT_EQ(textOf(b), "one");
    EXPECT_EQ(textOf(c), "one");
    const String& same = c;
    c = same;  // self-assignment keeps the text
    EXPECT_EQ(textOf(c), "one");
    ASSERT_TRUE(b.assign(a));
    EXPECT_EQ(textOf(b), "one!");
}

TEST(String, RepeatedBytesCanBeFilledInPlaceAndSwapped) {
    String buffer("old");
    ASSERT_TRUE(buffer.assignRepeated('\0', 5));
    EXPECT_EQ(buffer.length, 5u);
    EXPECT_EQ(std::string(buffer.c_str(), 6), std::string(6, '\0')) << "five zero bytes and the NUL";
    std::memcpy(buffer.chars, "filed", 5);
    String other("x");
    other.swap(buffer);
    EXPECT_EQ(textOf(other), "filed");
    EXPECT_EQ(textOf(buffer), "x");
    ASSERT_TRUE(buffer.assignRepeated('-', 3));
    EXPECT_EQ(textOf(buffer), "---");
}

TEST(String, ToIntReadsDecimalWrapping) {
    const std::pair<const char*, int32_t> cases[] = {
        {"", 0}, {"-", 0}, {"-12", -12}, {"007", 7}, {"4294967297", 1}, {"65536", 65536},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(String(text).toInt(), value);
    }
}

TEST(String, EqualsIgnoreCaseNeedsTheSameLength) {
    for (const char* yes : {"ON", "On", "oN", "on"}) EXPECT_TRUE(String(yes).equalsIgnoreCase("on")) << yes;
    for (const char* no : {"o", "on ", " on", "", "onn"}) EXPECT_FALSE(String(no).equalsIgnoreCase("on")) << no;
}

struct NumberCase {
    uint32_t value;
    uint32_t base;
    uint16_t minDigits;
    bool signedMode;
    const char* text;
};

TEST(NumberToText, Table) {
    const NumberCase cases[] = {
        {0, 10, 3, true, "000"},
        {0, 10, 0, true, "0"},
        {0, 2, 0, false, "0"},
        {0, 16, 32, true, "00000000000000000000000000000000"},
        {static_cast<uint32_t>(-5), 10, 4, true, "-0005"},
        {255, 16, 0, false, "ff"},
        {31, 32, 0, false, "v"},
        {32, 32, 0, false, "10"},
        {5, 2, 0, true, "101"},
        {1, 2, 0, true, "1"},
        {static_cast<uint32_t>(-1), 10, 0, false, "4294967295"},
        {static_cast<uint32_t>(-1), 16, 0, true, "-1"},
        {static_cast<uint32_t>(-1), 16, 0, false, "ffffffff"},
        {static_cast<uint32_t>(-1), 2, 0, false, "11111111111111111111111111111111"},
        {0x80000000u, 10, 0, true, "-2147483648"},
        {0x80000000u, 10, 0, false, "2147483648"},
        {0x80000000u, 16, 0, true, "-80000000"},
        {65531, 10, 0, true, "65531"},
        {42, 10, 2, true, "42"},  // already long enough: no zeros
        {42, 10, 1, true, "42"},
        {7, 10, 3, false, "007"},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " base " + std::to_string(c.base) + " min " +
                     std::to_string(c.minDigits) + (c.signedMode ? " signed" : " unsigned"));
        bool complete = false;
        String s = numberToText(c.value, c.base, c.minDigits, c.signedMode, &complete);
        EXPECT_TRUE(complete);
        EXPECT_EQ(textOf(s), c.text);
    }
}

}  // namespace
