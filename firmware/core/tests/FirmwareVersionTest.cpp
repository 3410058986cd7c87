#include <gtest/gtest.h>

#include "FirmwareVersion.h"

using firmware::CompareVersions;
using firmware::ConditionHolds;
using firmware::ServiceVersionText;

TEST(FirmwareVersion, ServiceVersionIsMillionsDotThousands) {
    const struct {
        int64_t v;
        const char* text;
    } cases[] = {
        {2001000, "2.1"},  {1002000, "1.2"}, {1002999, "1.2"},    {1000000, "1.0"},
        {999999, "0.999"}, {0, "0.0"},       {12034000, "12.34"}, {2147483647, "2147.483"},
    };
    for (const auto& c : cases) EXPECT_EQ(ServiceVersionText(c.v), c.text) << c.v;
}

TEST(FirmwareVersion, ComparesUpToFourNumbersWithMissingPartsZero) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"1.2", "1.2", 0},
        {"1.2", "1.2.0", 0},
        {"1.2", "1.2.0.0", 0},
        {"1.2.0.1", "1.2", 1},
        {"1.10", "1.9", 1},  // numbers, not text
        {"2.0", "10.0", -1},
        {"1.2.3.4", "1.2.3.5", -1},
        {"1.2.3.4.9", "1.2.3.4", 0},  // a fifth part is not looked at
        {"01.002", "1.2", 0},
        {" 1.2", "1.2", 0},
        {"", "0.0", 0},
        // Reading stops at the first character that is not a number; the rest counts as 0.
        {"1.2beta", "1.2", 0},
        {"1.x.3", "1", 0},
        {"v1.2", "0", 0},
        {"-1", "0", 0},
        {"1..2", "1", 0},
        // Huge numbers neither overflow nor wrap to small ones.
        {"99999999999999999999999", "4294967295", 0},
        {"4294967296", "4294967294", 1},
        {"1.99999999999999999999", "1.4294967294", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(CompareVersions(c.a, c.b), c.order);
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.order);
    }
}

TEST(FirmwareVersion, ConditionsHoldForEqualGreaterOrLessOnly) {
    const struct {
        const char* condition;
        const char* version;
        bool holds;
    } cases[] = {
        {"G1.2", "1.3", true},
        {"G1.2", "1.2", false},
        {"G1.2", "1.1", false},
        {"E1.2", "1.2.0", true},
        {"E1.2", "1.2.1", false},
        {"E1.0", "1.0", true},
        {"L1.2", "1.1", true},
        {"L1.2", "1.2", false},
        {"L1.2", "1.10", false},
        {"L2.0", "1.99", true},
        {"G0", "0.0.0.1", true},
        // Any other letter, a lower-case one, or no letter at all never holds.
        {"e1.2", "1.2", false},
        {"N1.2", "1.2", false},
        {"1.2", "1.2", false},
        {"", "1.2", false},
        {"X", "", false},
        {"=1.2", "1.2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.condition) + " for " + c.version);
        EXPECT_EQ(ConditionHolds(c.condition, c.version), c.holds);
    }
}
