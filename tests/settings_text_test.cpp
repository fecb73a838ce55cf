#include "settings/number_text.h"
#include "controls/wire_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FieldNumber, ParsesLikeTheDialogDoes) {
    const struct {
        std::u16string text;
        std::int64_t value;
    } rows[] = {
        {u"0", 0},
        {u"180", 180},
        {u"  42", 42},
        {u"+7", 7},
        {u"-3", -3},
        {u"12x", 12},
        {u"x12", 0},
        {u"", 0},
        {u"--1", 0},
        {u"0065535", 65535},
        {u"99999999999999999999", 1'000'000'000'000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text.begin(), row.text.end()));
        EXPECT_EQ(parseFieldNumber(row.text), row.value);
    }
    EXPECT_EQ(formatFieldNumber(0), u"0");
    EXPECT_EQ(formatFieldNumber(65535), u"65535");
}

TEST(WireText, Windows1251BothWays) {
    const struct {
        const char* name;
        std::u16string text;
        Bytes wire;
    } rows[] = {
        {"ascii", u"mqtt.example.ru:1883", Bytes{'m', 'q', 't', 't', '.', 'e', 'x', 'a', 'm', 'p',
                                                 'l', 'e', '.', 'r', 'u', ':', '1', '8', '8', '3'}},
        {"cyrillic", u"АЯаяЁё", Bytes{0xC0, 0xDF, 0xE0, 0xFF, 0xA8, 0xB8}},
        {"signs", u"№€", Bytes{0xB9, 0x88}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string wire;
        EXPECT_TRUE(toWireText(cp1251CodePage(), row.text, 63, wire));
        EXPECT_EQ(Bytes(wire.begin(), wire.end()), row.wire);
        EXPECT_EQ(fromWireText(cp1251CodePage(), row.wire.data(), row.wire.size()), row.text);
    }
}

TEST(WireText, CutsAtWholeCharactersWithinTheByteLimit) {
    std::string wire;
    EXPECT_FALSE(toWireText(cp1251CodePage(), u"abcdef", 4, wire));
    EXPECT_EQ(wire, "abcd");
    EXPECT_FALSE(toWireText(utf8CodePage(), u"aЖЖ", 4, wire));
    EXPECT_EQ(wire, "a\xD0\x96");
    EXPECT_TRUE(toWireText(utf8CodePage(), u"", 0, wire));
    EXPECT_EQ(wire, "");
    // A character the code page lacks becomes '?', one byte.
    EXPECT_TRUE(toWireText(cp1251CodePage(), u"a中", 2, wire));
    EXPECT_EQ(wire, "a?");
}

TEST(WireText, ReceivedTextEndsAtTheFirstZero) {
    const Bytes wire = {'a', 'b', 0x00, 'c'};
    EXPECT_EQ(fromWireText(cp1251CodePage(), wire.data(), wire.size()), u"ab");
    EXPECT_EQ(fromWireText(cp1251CodePage(), wire.data(), 0), u"");
}

TEST(WireText, Utf8ForTheCommandLine) {
    EXPECT_EQ(utf16FromUtf8("Склад-3"), u"Склад-3");
    EXPECT_EQ(utf8FromUtf16(u"Склад-3"), "Склад-3");
    EXPECT_EQ(utf16FromUtf8("a\xFF"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(utf16FromUtf8("\xC0\x80"), u"\uFFFD");
}

} // namespace
