#include <gtest/gtest.h>

#include "TextUtil.h"

TEST(TextUtilTest, RoundTripsChineseAndSurrogatePairs) {
    const std::string utf8 = "林雾LW52 聊天 \xF0\x9F\x8E\xA4";  // ends with U+1F3A4
    const std::u16string utf16 = text::Utf8ToUtf16(utf8);
    EXPECT_EQ(utf16.size(), 12u);  // the microphone emoji takes two units
    EXPECT_EQ(utf16[0], u'林');
    EXPECT_EQ(text::Utf16ToUtf8(utf16), utf8);
}

TEST(TextUtilTest, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(text::Utf8ToUtf16("a\xFF"
                                "b"),
              u"a\uFFFDb");
    EXPECT_EQ(text::Utf8ToUtf16("\xE6\x9E"), u"\uFFFD\uFFFD");  // truncated sequence
    EXPECT_EQ(text::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong '/'
    EXPECT_EQ(text::Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(TextUtilTest, FixedFieldsKeepATerminator) {
    char16_t field[4] = {1, 1, 1, 1};
    text::CopyToField(field, 4, u"abcdef");
    EXPECT_EQ(text::FieldToString(field, 4), u"abc");
    EXPECT_EQ(field[3], 0);
}

TEST(TextUtilTest, AsciiCaseHelpers) {
    EXPECT_EQ(text::ToUpperAscii("/dev/hid#vid_2b53"), "/DEV/HID#VID_2B53");
    EXPECT_TRUE(text::EqualsIgnoreCaseAscii("Settings", "SETTINGS"));
    EXPECT_FALSE(text::EqualsIgnoreCaseAscii("a", "ab"));
}
