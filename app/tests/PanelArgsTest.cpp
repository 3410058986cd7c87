// The panel's command line: our options are read, everything else is left alone.
#include <gtest/gtest.h>

#include "PanelArgs.h"

namespace {

TEST(PanelArgsTest, ReadsOurOptionsAndLeavesTheRestAlone) {
    const struct {
        std::vector<std::string> args;
        bool upgrade;
        std::string screenshot;
        int delayMs;
        std::string language = "";
    } cases[] = {
        {{}, false, "", 400},
        {{"-bUpgradeFirmware"}, true, "", 400},
        {{"--unknown", "x", "-bUpgradeFirmware", "-q"}, true, "", 400},
        {{"/path/with-bUpgradeFirmware-inside"}, true, "", 400},  // merely contained
        {{"-bupgradefirmware"}, false, "", 400},                  // the case matters
        {{"--screenshot", "a.png", "--delay-ms", "0"}, false, "a.png", 0},
        {{"--screenshot=b.png", "--delay-ms=1500", "-style", "fusion"}, false, "b.png", 1500},
        {{"--lang", "en", "--screenshot", "c.png"}, false, "c.png", 400, "en"},
        {{"--lang=zh"}, false, "", 400, "zh"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        PanelArgs args;
        std::string error;
        ASSERT_TRUE(ParsePanelArgs(c.args, args, error)) << error;
        EXPECT_EQ(args.upgradeFirmware, c.upgrade);
        EXPECT_EQ(args.screenshotFile, c.screenshot);
        EXPECT_EQ(args.delayMs, c.delayMs);
        EXPECT_EQ(args.language, c.language);
    }
}

TEST(PanelArgsTest, RefusesOurOptionsWithoutAGoodValue) {
    const std::vector<std::vector<std::string>> cases = {
        {"--screenshot"}, {"--screenshot="},      {"--delay-ms"},           {"--delay-ms", "-5"},
        {"--delay-ms=x"}, {"--delay-ms", "12ms"}, {"--delay-ms", "700000"}, {"--lang"},
        {"--lang", "fr"}, {"--lang=EN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        PanelArgs args;
        std::string error;
        EXPECT_FALSE(ParsePanelArgs(c, args, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
