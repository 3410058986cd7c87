#include <gtest/gtest.h>

#include <functional>

#include "CardModel.h"
#include "TestFrames.h"

using namespace lw52;
using namespace lw52::emu;
using namespace lw52::emu::test;

namespace {

// What came back for one request: '-' nothing, 'O' a good reply, 'C' a reply whose
// checksum fails, 'F' a reply with a valid checksum but a flag other than 0xFF.
char Outcome(const std::vector<Frame>& replies) {
    if (replies.empty()) return '-';
    const Frame& reply = replies[0];
    if (!ChecksumMatches(reply.data(), static_cast<int>(reply.size()))) return 'C';
    return reply[3] == kFlagReplyOk ? 'O' : 'F';
}

}  // namespace

TEST(FaultTest, ReplyFaultsHitTheNextKReplies) {
    struct Case {
        const char* what;
        std::function<void(CCardModel&)> arm;
        const char* requests;  // 'g' a good request, 'b' one with a bad checksum
        const char* outcomes;
    } cases[] = {
        {"drop 2", [](CCardModel& m) { m.DropReplies(2); }, "gggg", "--OO"},
        {"checksum 2", [](CCardModel& m) { m.CorruptChecksums(2); }, "gggg", "CCOO"},
        {"flag 2", [](CCardModel& m) { m.BadFlags(2); }, "gggg", "FFOO"},
        {"flag and checksum together",
         [](CCardModel& m) {
             m.BadFlags(1);
             m.CorruptChecksums(1);
         },
         "gg", "CO"},
        {"a request left unanswered uses no fault", [](CCardModel& m) { m.DropReplies(1); }, "bgg",
         "--O"},
        {"cleared",
         [](CCardModel& m) {
             m.DropReplies(3);
             m.BadFlags(3);
             m.ClearFaults();
         },
         "gg", "OO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCardModel model;
        c.arm(model);
        std::string outcomes;
        for (const char* r = c.requests; *r; ++r) {
            Frame request = Request(64, {{0, CMD_GET_DEVICE_INFO}});
            if (*r == 'b') request[63] ^= 1;
            outcomes += Outcome(Send(model, request));
        }
        EXPECT_EQ(outcomes, c.outcomes);
    }
    CCardModel model;
    model.DropReplies(2);
    for (int i = 0; i < 3; ++i) Send(model, Request(64, {{0, CMD_GET_DEVICE_INFO}}));
    EXPECT_EQ(model.Counters().repliesDropped, 2u);
    EXPECT_EQ(model.Counters().replies, 1u);
}

TEST(FaultTest, UnplugAfterNTakesTheNthFrameWithoutAnsweringAndFiresOnce) {
    CCardModel model;
    model.UnplugAfter(3);
    Frame setVolume = Request(64, {{0, CMD_SET_PARAMS}, {4, 1}});
    PutEntries(setVolume, 5, {{0, 9}});
    Restamp(setVolume);
    Frame badChecksum = Request(64, {{0, CMD_GET_DEVICE_INFO}});
    badChecksum[63] ^= 1;
    std::string outcomes;
    // A frame with a bad checksum counts as a host frame too; the third one pulls the cable.
    for (const Frame& frame : {Request(64, {{0, CMD_GET_DEVICE_INFO}}), badChecksum}) {
        outcomes += Outcome(Send(model, frame));
        EXPECT_FALSE(model.TakeUnplugRequest());
    }
    outcomes += Outcome(Send(model, setVolume));
    EXPECT_EQ(outcomes, "O--");
    EXPECT_EQ(model.LiveParams()[0], 9) << "the card took the frame before the cable went";
    EXPECT_TRUE(model.TakeUnplugRequest());
    EXPECT_FALSE(model.TakeUnplugRequest());
    EXPECT_EQ(model.Faults().unplugAfterFrames, 0);
}
