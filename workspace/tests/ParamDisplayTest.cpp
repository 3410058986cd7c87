#include <gtest/gtest.h>

#include "ParamDisplay.h"

TEST(ParamDisplayTest, TextsOfRawValues) {
    struct Case {
        int id, raw;
        const char* text;
    } cases[] = {
        {15, 120, "0.0"}, {15, 0, "-12.0"}, {15, 240, "12.0"}, {3, 70, "-20"},
        {41, 15, "1500"}, {31, 125, "0"},   {0, 6, "6"},       {15, 250, "12.0"},  // clamped
    };
    for (const auto& c : cases) EXPECT_EQ(lw52::DisplayText(c.id, c.raw), c.text) << c.id;
}

TEST(ParamDisplayTest, FormatKindsAndRawConversion) {
    EXPECT_EQ(lw52::FormatKindOf("%d"), lw52::kFormatInt);
    EXPECT_EQ(lw52::FormatKindOf("%0.1f"), lw52::kFormatFloat);
    EXPECT_EQ(lw52::FormatKindOf("%x dB"), lw52::kFormatNone);
    EXPECT_EQ(lw52::FormatKindOf("plain"), lw52::kFormatNone);
    const lw52::DisplayRule noConversion{0, 10, 1, 0, "%s"};
    EXPECT_EQ(lw52::FormatValue(noConversion, 3).text, "无效的参数转换符");
    const lw52::DisplayRule twoConversions{0, 10, 1, 0, "%d %s"};  // never reaches printf
    EXPECT_EQ(lw52::FormatValue(twoConversions, 3).text, "无效的参数转换符");
    const lw52::DisplayRule percent{0, 100, 1, 0, "%d%%"};
    EXPECT_EQ(lw52::FormatValue(percent, 30).text, "30%");

    const lw52::DisplayRule eq = lw52::RuleOf(lw52::Param(15));
    EXPECT_EQ(lw52::RawValueOf(eq, -12.0), 0);
    EXPECT_EQ(lw52::RawValueOf(eq, 99.0), 240);
    EXPECT_EQ(lw52::RawValueOf(eq, -50.0), 0);
    EXPECT_EQ(lw52::RawValueOf(eq, 1e12), 240);
}
