// Lines from a client as they arrive in pieces, and lines past the cap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LineSplitter.h"

namespace {

struct Collected {
    std::vector<std::string> lines;
    int overlong = 0;
};

void Feed(control::CLineSplitter& splitter, std::string_view bytes, Collected& c) {
    splitter.Feed(
        bytes, [&](std::string_view line) { c.lines.emplace_back(line); }, [&] { ++c.overlong; });
}

TEST(LineSplitter, JoinsPiecesAndSplitsAtNewlines) {
    control::CLineSplitter splitter;
    Collected c;
    for (std::string_view piece : {"{\"op\":", "\"info\"}\n{\"op\":\"st", "ate\"}\r\n\n{\"x\""})
        Feed(splitter, piece, c);
    EXPECT_EQ(c.lines, (std::vector<std::string>{R"({"op":"info"})", R"({"op":"state"})", ""}));
    EXPECT_EQ(splitter.Buffered(), 4u) << "the unfinished line waits for its newline";
}

TEST(LineSplitter, ALineBeyondTheCapIsDroppedWithoutBeingHeld) {
    control::CLineSplitter splitter(16);
    Collected c;
    Feed(splitter, "0123456789", c);
    Feed(splitter, "0123456789", c);  // past 16: dropped at once
    EXPECT_EQ(c.overlong, 1);
    EXPECT_EQ(splitter.Buffered(), 0u);
    Feed(splitter, std::string(100000, 'x'), c);  // still the same line: skipped, told once
    EXPECT_EQ(c.overlong, 1);
    EXPECT_EQ(splitter.Buffered(), 0u);
    Feed(splitter, "tail\nnext\n", c);
    EXPECT_EQ(c.lines, (std::vector<std::string>{"next"})) << "the rest of the long line goes";
    // A line exactly at the cap is kept.
    Feed(splitter, std::string(16, 'y') + "\n", c);
    EXPECT_EQ(c.lines.back(), std::string(16, 'y'));
}

}  // namespace
